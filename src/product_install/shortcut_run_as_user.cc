#include "product_install/shortcut_run_as_user.h"

#include <span>

#include "platform/file.h"
#include "platform/file_system.h"

namespace velmo {

namespace {

constexpr char kWriteFailed[] = "设置桌面启动入口权限失败";

}  // namespace

Status set_run_as_user_flag(std::string& link_bytes) {
  // A shell link is far longer than its header; one that ends before the
  // flags is not a link the shell wrote, and there is nothing to set.
  if (link_bytes.size() <= kRunAsUserByteOffset) {
    return fail("桌面启动入口文件不完整。");
  }
  link_bytes[kRunAsUserByteOffset] =
      static_cast<char>(static_cast<uint8_t>(link_bytes[kRunAsUserByteOffset]) | kRunAsUserBit);
  return ok();
}

Status mark_shortcut_run_as_user(const std::string& link_path) {
  OsResult<std::string> bytes = read_small_file(link_path, kMaxShortcutBytes);
  if (!bytes) {
    return fail(phrase_with_error("读取桌面启动入口失败", bytes.error()));
  }
  if (Status marked = set_run_as_user_flag(*bytes); !marked) {
    return marked;
  }
  OsResult<File> file = File::create_truncate(link_path);
  if (!file) {
    return fail(phrase_with_error(kWriteFailed, file.error()));
  }
  if (auto written = file->write_all(std::as_bytes(std::span(*bytes))); !written) {
    return fail(phrase_with_error(kWriteFailed, written.error()));
  }
  return ok();
}

}  // namespace velmo
