#include "environment/webview2_detection.h"

#include <array>
#include <vector>

#include "platform/captured_process.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/utf.h"

namespace velmo {

namespace {

struct Candidate {
  std::optional<std::string> version;
  std::string base_folder;
};

bool is_ascii_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool is_version_token(std::string_view token) {
  if (token.find('.') == std::string_view::npos) {
    return false;
  }
  for (char c : token) {
    if (c != '.' && (c < '0' || c > '9')) {
      return false;
    }
  }
  return true;
}

std::vector<std::string_view> split_ascii_white_space(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && is_ascii_white_space(text[pos])) {
      ++pos;
    }
    const size_t start = pos;
    while (pos < text.size() && !is_ascii_white_space(text[pos])) {
      ++pos;
    }
    if (pos > start) {
      tokens.push_back(text.substr(start, pos - start));
    }
  }
  return tokens;
}

bool runtime_files_present(const Candidate& candidate) {
  if (!candidate.version) {
    return false;
  }
  std::string folder = candidate.base_folder;
  for (const char* part : {"Microsoft", "EdgeWebView", "Application"}) {
    folder = path_join(folder, part);
  }
  folder = path_join(folder, *candidate.version);
  // A link or a folder under a file's name is not the runtime's file.
  return is_plain_file(path_join(folder, "msedgewebview2.exe")) &&
         is_plain_file(path_join(folder, "msedge.dll"));
}

std::optional<Candidate> candidate_for(const char* folder_variable,
                                       const char* root,
                                       const char* key,
                                       const WebView2VersionQuery& query) {
  std::optional<std::string> folder = environment_variable(folder_variable);
  if (!folder) {
    return std::nullopt;
  }
  return Candidate{query(root, key), std::move(*folder)};
}

}  // namespace

std::optional<std::string> parse_reg_query_version(std::string_view output) {
  for (std::string_view token : split_ascii_white_space(output)) {
    if (!is_valid_utf8(token) || !is_version_token(token)) {
      continue;
    }
    if (token == "0.0.0.0") {
      return std::nullopt;
    }
    return std::string(token);
  }
  return std::nullopt;
}

std::optional<std::string> query_webview2_version(const std::string& root, const std::string& key) {
  const OsResult<CapturedRun> run =
      run_captured(system_program_path("reg.exe"), {"query", root + "\\" + key, "/v", "pv"});
  if (!run || run->exit_code != 0) {
    return std::nullopt;
  }
  return parse_reg_query_version(run->standard_output);
}

bool is_webview2_present(const WebView2VersionQuery& query) {
  const std::array<std::optional<Candidate>, 2> candidates = {
      candidate_for("ProgramFiles(x86)", "HKLM", kWebView2MachineKey, query),
      candidate_for("LOCALAPPDATA", "HKCU", kWebView2UserKey, query),
  };
  for (const std::optional<Candidate>& candidate : candidates) {
    if (candidate && runtime_files_present(*candidate)) {
      return true;
    }
  }
  return false;
}

}  // namespace velmo
