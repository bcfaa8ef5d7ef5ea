#ifndef VELMO_PRODUCT_INSTALL_SHORTCUT_RUN_AS_USER_H_
#define VELMO_PRODUCT_INSTALL_SHORTCUT_RUN_AS_USER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/result.h"

namespace velmo {

// The shell link header's flags are a little-endian 32-bit field at byte 20;
// RunAsUser is its bit 13, the 0x20 bit of the field's second byte. The
// shell link object has no call that sets it, so the saved file is patched.
inline constexpr size_t kRunAsUserByteOffset = 21;
inline constexpr uint8_t kRunAsUserBit = 0x20;

// A saved shortcut is far smaller; the cap only keeps a damaged or foreign
// file under the name from being read whole into memory.
inline constexpr size_t kMaxShortcutBytes = 1 << 20;

// Sets the RunAsUser bit in a shortcut file's bytes, leaving every other
// bit as it was. Fails with "桌面启动入口文件不完整。" when there is no
// such byte (21 bytes or fewer).
Status set_run_as_user_flag(std::string& link_bytes);

// Reads the saved shortcut whole ("读取桌面启动入口失败：{e}"), sets the
// bit, and writes the file back whole ("设置桌面启动入口权限失败：{e}").
Status mark_shortcut_run_as_user(const std::string& link_path);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_SHORTCUT_RUN_AS_USER_H_
