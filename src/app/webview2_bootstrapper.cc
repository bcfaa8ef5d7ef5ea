#include "app/webview2_bootstrapper.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "environment/data_directory.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/path_attributes.h"
#include "platform/process.h"
#include "platform/replace_file.h"
#include "platform/sha256.h"
#include "platform/windows_path.h"
#include "product_files/webview2_bootstrapper_pin.h"

namespace velmo {

namespace {

// The carried copy is compared exactly: it is our own data, in our case.
bool carried_digest_matches(const CarriedFile& carried) {
  const auto digest = sha256_of(std::as_bytes(carried.bytes));
  return digest && digest_to_hex(*digest) == carried.sha256;
}

// Anything under the temporary name is a leftover of an interrupted run.
// Deleting a link removes the link, never what it points to.
Status remove_leftover_partial(const std::string& partial_path) {
  if (!read_path_attributes(partial_path)) {
    return ok();
  }
  if (auto removed = remove_file(partial_path); !removed) {
    return fail(phrase_with_error("清理 WebView2 临时文件失败", removed.error()));
  }
  return ok();
}

// On a write or flush failure the file is closed and left for the next
// attempt's clean-up.
Status write_partial(const CarriedFile& carried, const std::string& partial_path) {
  // Created new rather than truncated: should anything reappear under the
  // name after the clean-up, we refuse instead of writing through it.
  auto file = File::create_new(partial_path);
  if (!file) {
    return fail(phrase_with_error("创建 WebView2 引导器缓存失败", file.error()));
  }
  if (auto written = file->write_all(std::as_bytes(carried.bytes)); !written) {
    return fail(phrase_with_error("写入 WebView2 引导器失败", written.error()));
  }
  if (auto flushed = file->flush(); !flushed) {
    return fail(phrase_with_error("保存 WebView2 引导器失败", flushed.error()));
  }
  return ok();
}

Status verify_partial(const CarriedFile& carried, const std::string& partial_path) {
  const Result<std::string> digest = sha256_file(partial_path);
  if (digest && *digest == carried.sha256) {
    return ok();
  }
  (void)remove_file(partial_path);
  return fail(digest ? std::string(kWrittenBootstrapperMismatch) : digest.error());
}

}  // namespace

std::string bootstrapper_partial_name() {
  return std::string(kBootstrapperFileName) + ".part";
}

Result<std::string> write_out_bootstrapper(const CarriedFile& carried,
                                           const std::string& directory) {
  if (!carried_digest_matches(carried)) {
    return fail(kCarriedBootstrapperCorrupt);
  }
  const std::string partial_path = path_join(directory, bootstrapper_partial_name());
  const std::string final_path = path_join(directory, kBootstrapperFileName);
  if (auto removed = remove_leftover_partial(partial_path); !removed) {
    return fail(removed.error());
  }
  if (auto written = write_partial(carried, partial_path); !written) {
    return fail(written.error());
  }
  if (auto verified = verify_partial(carried, partial_path); !verified) {
    return fail(verified.error());
  }
  if (auto replaced = replace_file(partial_path, final_path); !replaced) {
    return fail(replaced.error());
  }
  return final_path;
}

Result<std::string> write_out_webview2_bootstrapper() {
  const CarriedFile carried = carried_webview2_bootstrapper();
  if (!carried_digest_matches(carried)) {
    return fail(kCarriedBootstrapperCorrupt);
  }
  const Result<std::string> directory = download_directory();
  if (!directory) {
    return fail(directory.error());
  }
  return write_out_bootstrapper(carried, *directory);
}

namespace {

// A folder made for one run of an installer, removed with its content when
// the run is over.
class RunFolder {
 public:
  explicit RunFolder(std::string path) : path_(std::move(path)) {}
  ~RunFolder() { (void)remove_directory_tree(path_); }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// An installer loads DLLs from its own folder before the system's. The
// download folder may still hold files put there before it was protected,
// so the installer runs from a folder created new for this run (creation
// fails if the name exists), protected, and holding only the proven copy.
Result<std::unique_ptr<RunFolder>> make_run_folder(const std::string& cached_path) {
  const std::optional<std::string> directory = parent_path(cached_path);
  if (!directory) {
    return fail(phrase_with_error("创建下载目录失败", access_denied()));
  }
  const uint64_t moment =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::string folder =
      path_join(*directory, "webview2-run-" + std::to_string(current_process_id()) + "-" +
                                std::to_string(moment));
  if (OsStatus made = create_protected_directory(folder); !made) {
    return fail(phrase_with_error("创建下载目录失败", made.error()));
  }
  return std::make_unique<RunFolder>(folder);
}

// Opens `path` so that nobody can change it and proves it against `sha256`.
Result<File> open_proven(const std::string& path, std::string_view sha256) {
  OsResult<File> held = File::open_for_read_locked(path);
  if (!held) {
    return fail(phrase_with_error("读取校验文件失败", held.error()));
  }
  const Result<std::string> digest = hash_open_file(*held);
  if (!digest) {
    return fail(digest.error());
  }
  if (*digest != sha256) {
    return fail(kWrittenBootstrapperMismatch);
  }
  return std::move(*held);
}

}  // namespace

Status run_written_bootstrapper(const std::string& path,
                                std::string_view sha256,
                                const ProcessRunner& run) {
  Result<File> cached = open_proven(path, sha256);
  if (!cached) {
    return fail(cached.error());
  }
  const Result<std::unique_ptr<RunFolder>> folder = make_run_folder(path);
  if (!folder) {
    return fail(folder.error());
  }
  const std::string program = path_join((*folder)->path(), kBootstrapperFileName);
  if (OsStatus copied = cached->copy_to(program); !copied) {
    return fail(phrase_with_error("读取校验文件失败", copied.error()));
  }
  // The copy is proven again through the handle that stays open, denying
  // writes and deletes, until the installer has ended.
  const Result<File> held = open_proven(program, sha256);
  if (!held) {
    return fail(held.error());
  }
  const std::vector<std::string> arguments(std::begin(kBootstrapperArguments),
                                           std::end(kBootstrapperArguments));
  // It starts in its own folder too, not in ours (often the user's download
  // folder), where it would find files nobody proved.
  return run_installer(program, arguments, (*folder)->path(), kExecutableInstallerName, run);
}

Status run_written_webview2_bootstrapper(const std::string& path) {
  return run_written_bootstrapper(path, kBootstrapperSha256, run_and_wait);
}

}  // namespace velmo
