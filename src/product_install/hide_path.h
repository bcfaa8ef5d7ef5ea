#ifndef VELMO_PRODUCT_INSTALL_HIDE_PATH_H_
#define VELMO_PRODUCT_INSTALL_HIDE_PATH_H_

#include <string>

#include "platform/result.h"

namespace velmo {

// Gives a file or folder the hidden attribute with the system's attrib.exe
// ("+H", the path), run without a window, waiting for it to end. Fails with
// "隐藏工作台运行组件失败：{e}" when it cannot be started and
// "隐藏工作台运行组件失败，attrib 退出码：{code}" when it ends with another
// code than 0.
Status hide_path(const std::string& path);

// hide_path with another program in attrib's place. Wine's attrib ends with
// 0 whatever happens, so tests need a stand-in to see the exit code
// reported.
Status hide_path_with(const std::string& attrib_program, const std::string& path);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_HIDE_PATH_H_
