#ifndef VELMO_TOOLS_VELMO_PACK_PENDING_OUTPUT_H_
#define VELMO_TOOLS_VELMO_PACK_PENDING_OUTPUT_H_

#include <string>

#include "platform/file.h"
#include "platform/result.h"

namespace velmo::pack {

// Appended to the output's name for the file being written.
inline constexpr char kTemporarySuffix[] = ".velmo-pack.tmp";

// An output file that appears under its name only once it is complete. It is
// written under a temporary name in the same directory (so the final rename
// stays on one volume) and renamed by commit(). Dropped without a commit, the
// temporary file is deleted: a failed run never leaves a half-written output
// behind, and a release engineer never uploads one by mistake.
class PendingOutput {
 public:
  // Refuses an existing output, and a temporary file left by a run that was
  // killed, unless `replace` is set.
  static Result<PendingOutput> create(const std::string& final_path, bool replace);

  PendingOutput(PendingOutput&& other) noexcept;
  PendingOutput& operator=(PendingOutput&&) = delete;
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();

  File& file() { return file_; }
  const std::string& temporary_path() const { return temporary_path_; }

  // Flushes and closes the file so that it can be read back and renamed.
  Status finish_writing();

  // Gives the file its final name; with `replace`, an existing output is
  // deleted first. The rename itself never replaces anything, so an output
  // that appeared while we were writing is not lost silently.
  Status commit();

 private:
  PendingOutput(std::string final_path, std::string temporary_path, File file, bool replace);

  std::string final_path_;
  std::string temporary_path_;
  File file_;
  bool replace_ = false;
  bool owns_temporary_ = false;
};

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_PENDING_OUTPUT_H_
