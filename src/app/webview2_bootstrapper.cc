#include "app/webview2_bootstrapper.h"

#include <vector>

#include "environment/data_directory.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/process.h"
#include "platform/replace_file.h"
#include "platform/sha256.h"
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

Status run_written_bootstrapper(const std::string& path,
                                std::string_view sha256,
                                const ProcessRunner& run) {
  auto held = File::open_for_read_locked(path);
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
  const std::vector<std::string> arguments(std::begin(kBootstrapperArguments),
                                           std::end(kBootstrapperArguments));
  // `held` stays open until the installer has ended.
  return run_installer(path, arguments, kExecutableInstallerName, run);
}

Status run_written_webview2_bootstrapper(const std::string& path) {
  return run_written_bootstrapper(path, kBootstrapperSha256, run_and_wait);
}

}  // namespace velmo
