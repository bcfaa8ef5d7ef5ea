#ifndef VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
#define VELMO_ENVIRONMENT_DATA_DIRECTORY_H_

#include <string>

#include "platform/os_error.h"
#include "platform/result.h"

namespace velmo {

// The machine-wide root the assistant keeps its data under: the value of
// "ProgramData" (used as it is, even when empty), or "C:\ProgramData" when
// the variable is unset.
std::string data_root();

// The assistant's own folder below the root, "VelmoInstaller". It holds the
// recorded install location and the downloads; it is not created here.
std::string data_directory();

// Creates the data directory (and the root when missing) or repairs it so
// that only administrators can change it; see secure_directory. Everything
// that writes there, or trusts what it reads there, goes through this first.
OsStatus secure_data_directory();

// Whether the data directory is protected already. Readers that must not
// change anything (discovery at start-up) trust its files only then.
bool is_data_directory_secure();

// The folder downloads are kept in, "downloads" in the data directory. Not
// created here: detection only looks.
std::string download_directory_path();

// The same folder, created with its parents and protected like the data
// directory, for the steps that fill it or run what it holds.
Result<std::string> download_directory();

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
