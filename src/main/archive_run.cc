#include "main/archive_run.h"

#include <array>

namespace velmo {

namespace {

constexpr std::array<std::string_view, 3> kArchiveExtensions = {".zip", ".rar", ".7z"};

// Folder-name prefixes of the temporary folders that common archive tools
// (WinRAR, 7-Zip, 360压缩, 好压, Bandizip) extract into.
constexpr std::array<std::string_view, 10> kViewerPrefixes = {
    "rar$ex", "rar$di", "7zo", "7zs", "7ze", "7zt", "360zip", "haozip", "bandizip", "bnz"};

bool segment_is_archive(std::string_view segment) {
  for (const std::string_view extension : kArchiveExtensions) {
    if (segment.ends_with(extension)) {
      return true;
    }
  }
  for (const std::string_view prefix : kViewerPrefixes) {
    if (segment.starts_with(prefix)) {
      return true;
    }
  }
  if (segment.starts_with("temp")) {
    for (const std::string_view extension : kArchiveExtensions) {
      if (segment.find(extension) != std::string_view::npos) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::string normalize_for_archive_check(std::string_view path) {
  std::string normalized;
  normalized.reserve(path.size());
  for (const char c : path) {
    if (c == '/') {
      normalized.push_back('\\');
    } else if (c >= 'A' && c <= 'Z') {
      normalized.push_back(static_cast<char>(c - 'A' + 'a'));
    } else {
      normalized.push_back(c);
    }
  }
  while (!normalized.empty() && normalized.back() == '\\') {
    normalized.pop_back();
  }
  return normalized;
}

bool is_archive_run(std::string_view program_path, std::string_view temp_dir) {
  const std::string program = normalize_for_archive_check(program_path);
  const std::string prefix = normalize_for_archive_check(temp_dir) + "\\";
  if (!program.starts_with(prefix)) {
    return false;
  }
  std::string_view rest = std::string_view(program).substr(prefix.size());
  while (!rest.empty()) {
    const size_t end = rest.find('\\');
    if (segment_is_archive(rest.substr(0, end))) {
      return true;
    }
    if (end == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace velmo
