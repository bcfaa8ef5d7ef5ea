#include <array>
#include <span>

#include "platform/file.h"
#include "platform/shell_link.h"
#include "platform/utf.h"

namespace velmo {

namespace {

// There is no shell here to ask; the stand-in writes the link file layout
// itself: the 76-byte header, then the strings the flags announce, then the
// terminal block. The target goes in as the relative-path string, since
// there is no volume to describe in a link-info block.
constexpr uint32_t kHeaderSize = 0x4C;
constexpr std::array<uint8_t, 16> kLinkClassId = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kHasRelativePath = 0x08;
constexpr uint32_t kHasWorkingDir = 0x10;
constexpr uint32_t kHasArguments = 0x20;
constexpr uint32_t kHasIconLocation = 0x40;
constexpr uint32_t kIsUnicode = 0x80;
constexpr uint32_t kShowNormal = 1;

// The shell reports system errors as HRESULTs of the Win32 facility; the
// errno is wrapped the same way so the message still carries its number.
uint32_t hresult_from_os_code(uint32_t code) {
  return 0x80070000u | (code & 0xFFFFu);
}

void put_u16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void put_u32(std::string& out, uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

void put_counted_string(std::string& out, const std::string& utf8) {
  const std::u16string text = utf8_to_utf16(utf8);
  put_u16(out, static_cast<uint32_t>(text.size()));
  for (const char16_t unit : text) {
    put_u16(out, unit);
  }
}

std::string encode_link(const ShellLinkFields& fields) {
  std::string out;
  put_u32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClassId.data()), kLinkClassId.size());
  put_u32(out, kHasRelativePath | kHasWorkingDir | kHasArguments | kHasIconLocation | kIsUnicode);
  out.append(4 + 3 * 8 + 4, '\0');  // attributes, three times, target size
  put_u32(out, static_cast<uint32_t>(fields.icon_index));
  put_u32(out, kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hot key, reserved
  put_counted_string(out, fields.target);
  put_counted_string(out, fields.working_directory);
  put_counted_string(out, fields.arguments);
  put_counted_string(out, fields.icon_path);
  put_u32(out, 0);  // terminal block
  return out;
}

}  // namespace

ShellLinkStatus save_shell_link(const ShellLinkFields& fields, const std::string& link_path) {
  const std::string bytes = encode_link(fields);
  OsResult<File> file = File::create_truncate(link_path);
  if (!file) {
    return std::unexpected(
        ShellLinkFailure{ShellLinkStep::kSave, hresult_from_os_code(file.error().code)});
  }
  if (auto written = file->write_all(std::as_bytes(std::span(bytes))); !written) {
    return std::unexpected(
        ShellLinkFailure{ShellLinkStep::kSave, hresult_from_os_code(written.error().code)});
  }
  return {};
}

}  // namespace velmo
