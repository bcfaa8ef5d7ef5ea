#ifndef VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
#define VELMO_ENVIRONMENT_DATA_DIRECTORY_H_

#include <string>

#include "platform/result.h"

namespace velmo {

// The machine-wide root the assistant keeps its data under: the value of
// "ProgramData" (used as it is, even when empty), or "C:\ProgramData" when
// the variable is unset.
std::string data_root();

// The assistant's own folder below the root, "VelmoInstaller". It holds the
// recorded install location and the downloads; it is not created here.
std::string data_directory();

// The folder downloads are kept in, "downloads" in the data directory. Not
// created here: detection only looks.
std::string download_directory_path();

// The same folder, created with its parents, for the steps that fill it.
Result<std::string> download_directory();

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
