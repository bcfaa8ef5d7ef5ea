#include "product_install/plain_file_checks.h"

#include "platform/file_system.h"
#include "platform/path_attributes.h"

namespace velmo {

Status check_plain_file(const std::string& path, std::string_view label) {
  const OsResult<PathAttributes> attributes = read_path_attributes(path);
  if (!attributes) {
    return fail(phrase_with_error("检查" + std::string(label) + "失败", attributes.error()));
  }
  if (!is_plain_file(*attributes)) {
    return fail(std::string(label) + "不是普通文件，已停止更新。");
  }
  return ok();
}

Status remove_plain_file_if_present(const std::string& path, std::string_view label) {
  if (!read_path_attributes(path)) {
    return ok();
  }
  if (Status plain = check_plain_file(path, label); !plain) {
    return plain;
  }
  if (auto removed = remove_file(path); !removed) {
    return fail(phrase_with_error("清理" + std::string(label) + "失败", removed.error()));
  }
  return ok();
}

}  // namespace velmo
