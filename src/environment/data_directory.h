#ifndef VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
#define VELMO_ENVIRONMENT_DATA_DIRECTORY_H_

#include <string>

namespace velmo {

// The assistant's data directory: %ProgramData%\VelmoInstaller (or
// C:\ProgramData\VelmoInstaller when the variable is unset). It holds the
// recorded install location and the downloads; it is not created here.
std::string data_root();

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_DATA_DIRECTORY_H_
