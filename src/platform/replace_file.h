#ifndef VELMO_PLATFORM_REPLACE_FILE_H_
#define VELMO_PLATFORM_REPLACE_FILE_H_

#include <string>

#include "platform/file.h"
#include "platform/result.h"

namespace velmo {

// Moves a verified side file to its final name, deleting an old final file
// first: a file reaches its final name only by this rename, after it was
// written and checked under the side name.
Status replace_file(const std::string& partial_path, const std::string& final_path);

// The same for a side file held open since it was written and checked
// (File::create_truncate_held, File::open_existing_held): it is renamed
// through that handle, so the file that reaches the final name is the one
// that was checked. Same messages as replace_file.
Status replace_held_file(File& partial,
                         const std::string& partial_path,
                         const std::string& final_path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_REPLACE_FILE_H_
