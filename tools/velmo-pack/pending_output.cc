#include "velmo-pack/pending_output.h"

#include <utility>

#include "platform/file_system.h"

namespace velmo::pack {

namespace {

std::string quoted(const std::string& path) {
  return "'" + path + "'";
}

std::string with_error(const std::string& what, const OsError& error) {
  return what + ": " + describe_os_error(error);
}

}  // namespace

Result<PendingOutput> PendingOutput::create(const std::string& final_path, bool replace) {
  const std::string temporary_path = final_path + kTemporarySuffix;
  if (!replace && path_exists(final_path)) {
    return fail("the output " + quoted(final_path) + " exists; pass --force to replace it");
  }
  if (!replace && path_exists(temporary_path)) {
    return fail("the temporary file " + quoted(temporary_path) +
                " exists, left by an interrupted run; delete it or pass --force");
  }
  // create_new never follows or reuses what is there; with --force a stale
  // temporary file is deleted first rather than truncated in place.
  if (replace && path_exists(temporary_path)) {
    if (OsStatus removed = remove_file(temporary_path); !removed) {
      return fail(with_error("cannot delete " + quoted(temporary_path), removed.error()));
    }
  }
  OsResult<File> file = File::create_new(temporary_path);
  if (!file) {
    return fail(with_error("cannot create " + quoted(temporary_path), file.error()));
  }
  return PendingOutput(final_path, temporary_path, std::move(*file), replace);
}

PendingOutput::PendingOutput(std::string final_path,
                             std::string temporary_path,
                             File file,
                             bool replace)
    : final_path_(std::move(final_path)),
      temporary_path_(std::move(temporary_path)),
      file_(std::move(file)),
      replace_(replace),
      owns_temporary_(true) {}

PendingOutput::PendingOutput(PendingOutput&& other) noexcept
    : final_path_(std::move(other.final_path_)),
      temporary_path_(std::move(other.temporary_path_)),
      file_(std::move(other.file_)),
      replace_(other.replace_),
      owns_temporary_(std::exchange(other.owns_temporary_, false)) {}

PendingOutput::~PendingOutput() {
  if (!owns_temporary_) {
    return;
  }
  // Windows cannot delete a file this process still has open.
  file_.close();
  (void)remove_file(temporary_path_);
}

Status PendingOutput::finish_writing() {
  if (OsStatus flushed = file_.flush(); !flushed) {
    return fail(with_error("cannot write " + quoted(temporary_path_), flushed.error()));
  }
  file_.close();
  return ok();
}

Status PendingOutput::commit() {
  file_.close();
  if (replace_ && path_exists(final_path_)) {
    if (OsStatus removed = remove_file(final_path_); !removed) {
      return fail(with_error("cannot replace " + quoted(final_path_), removed.error()));
    }
  }
  if (OsStatus renamed = rename_path(temporary_path_, final_path_); !renamed) {
    return fail(
        with_error("cannot rename " + quoted(temporary_path_) + " to " + quoted(final_path_),
                   renamed.error()));
  }
  owns_temporary_ = false;
  return ok();
}

}  // namespace velmo::pack
