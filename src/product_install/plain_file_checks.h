#ifndef VELMO_PRODUCT_INSTALL_PLAIN_FILE_CHECKS_H_
#define VELMO_PRODUCT_INSTALL_PLAIN_FILE_CHECKS_H_

#include <string>
#include <string_view>

#include "platform/result.h"

namespace velmo {

// Fails unless the path itself is a plain file: "检查{label}失败：{e}" when
// its attributes cannot be read, "{label}不是普通文件，已停止更新。" for a
// directory or a link.
Status check_plain_file(const std::string& path, std::string_view label);

// Deletes the file when something is there, but only a plain file: a link or
// a directory under the name fails with check_plain_file's message, and a
// failed delete with "清理{label}失败：{e}". Nothing there is fine.
Status remove_plain_file_if_present(const std::string& path, std::string_view label);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_PLAIN_FILE_CHECKS_H_
