#ifndef VELMO_MAIN_ARCHIVE_RUN_H_
#define VELMO_MAIN_ARCHIVE_RUN_H_

#include <string>
#include <string_view>

namespace velmo {

// Archive viewers run a double-clicked program from a temporary copy that
// they delete later; installing from there would leave the user with a
// launcher pointing nowhere. True when `program_path` lies below `temp_dir`
// in a folder (or under a name) that such a viewer makes.
bool is_archive_run(std::string_view program_path, std::string_view temp_dir);

// The form both paths are compared in: "/" as "\", no trailing "\", ASCII
// letters in lower case.
std::string normalize_for_archive_check(std::string_view path);

}  // namespace velmo

#endif  // VELMO_MAIN_ARCHIVE_RUN_H_
