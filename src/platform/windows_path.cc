#include "platform/windows_path.h"

namespace velmo {

namespace {

bool is_separator(char c) {
  return c == '\\' || c == '/';
}

// Length of the root: "C:\" (3), "C:" (2), a leading separator (1), else 0.
// UNC shares count their "\\" only; their parents stop at the share.
size_t root_length(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') {
    return (path.size() >= 3 && is_separator(path[2])) ? 3 : 2;
  }
  if (!path.empty() && is_separator(path[0])) {
    return (path.size() >= 2 && is_separator(path[1])) ? 2 : 1;
  }
  return 0;
}

std::string_view trim_trailing_separators(std::string_view path) {
  const size_t root = root_length(path);
  while (path.size() > root && is_separator(path.back())) {
    path.remove_suffix(1);
  }
  return path;
}

}  // namespace

std::optional<std::string> parent_path(std::string_view path) {
  path = trim_trailing_separators(path);
  const size_t root = root_length(path);
  if (path.size() <= root) {
    return std::nullopt;
  }
  size_t cut = path.size();
  while (cut > root && !is_separator(path[cut - 1])) {
    --cut;
  }
  if (cut == 0) {
    return std::nullopt;
  }
  // Drop the separator(s) before the last component, but keep the root's.
  size_t end = cut;
  while (end > root && is_separator(path[end - 1])) {
    --end;
  }
  return std::string(path.substr(0, end));
}

std::string_view file_name(std::string_view path) {
  path = trim_trailing_separators(path);
  const size_t root = root_length(path);
  size_t start = path.size();
  while (start > root && !is_separator(path[start - 1])) {
    --start;
  }
  return path.substr(start);
}

std::string join_path(std::string_view directory, std::string_view name) {
  std::string joined(directory);
  if (!joined.empty() && !is_separator(joined.back())) {
    joined.push_back('\\');
  }
  joined.append(name);
  return joined;
}

}  // namespace velmo
