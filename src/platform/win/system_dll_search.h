#ifndef VELMO_PLATFORM_WIN_SYSTEM_DLL_SEARCH_H_
#define VELMO_PLATFORM_WIN_SYSTEM_DLL_SEARCH_H_

#include "platform/result.h"

namespace velmo {

// Limits every later DLL search of this process to System32: the programs
// run as administrator from folders anyone can write to (Downloads), and the
// default search looks in the program's own folder first for every DLL that
// is not a KnownDLL. Covers the delay-loaded imports, whose helper loads by
// bare name, and the DLLs the system loads for us later (a window's theme).
// The entry points call it before anything else; on failure nothing may go
// on to load a DLL, and the message says why.
Status restrict_dll_search_to_system32();

}  // namespace velmo

#endif  // VELMO_PLATFORM_WIN_SYSTEM_DLL_SEARCH_H_
