#include <windows.h>

#include <atomic>

#include "platform/path_attributes.h"
#include "platform/win/handles.h"
#include "platform/win/reparse_tag_seam.h"
#include "platform/win/wide.h"

namespace velmo {

namespace {

constexpr uint32_t kNameSurrogateBit = 0x20000000;

std::atomic<ReparseTagProbe> g_reparse_tag_probe{nullptr};

// The reparse tag is reported only by the directory-listing calls; the
// attribute calls say just that there is one.
OsResult<uint32_t> read_reparse_tag(std::wstring path) {
  // The listing call takes a name, not a directory with a trailing separator.
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(
      ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    return std::unexpected(last_os_error());
  }
  return static_cast<uint32_t>(data.dwReserved0);
}

}  // namespace

ReparseTagProbe set_reparse_tag_probe_for_testing(ReparseTagProbe probe) {
  return g_reparse_tag_probe.exchange(probe);
}

std::optional<uint32_t> scripted_reparse_tag(const std::string& path) {
  const ReparseTagProbe probe = g_reparse_tag_probe.load();
  if (probe == nullptr) {
    return std::nullopt;
  }
  return probe(path);
}

OsResult<PathAttributes> read_path_attributes(const std::string& path) {
  const std::wstring wide = to_wide(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return std::unexpected(last_os_error());
  }
  PathAttributes result{.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0};
  if (const std::optional<uint32_t> tag = scripted_reparse_tag(path)) {
    result.name_surrogate = (*tag & kNameSurrogateBit) != 0;
    return result;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    const OsResult<uint32_t> tag = read_reparse_tag(wide);
    if (!tag) {
      return std::unexpected(tag.error());
    }
    result.name_surrogate = (*tag & kNameSurrogateBit) != 0;
  }
  return result;
}

}  // namespace velmo
