#include "process_scan_restart_manager.h"

#include <windows.h>

#include <tlhelp32.h>

#include <string_view>

#include "platform/win/handles.h"
#include "platform/win/wide.h"

namespace velmo::test {

namespace {

constexpr uint32_t kErrorMoreData = ERROR_MORE_DATA;
constexpr uint32_t kSession = 1;

// Final names may come back with the "\\?\" prefix, image names without it.
std::wstring_view without_long_prefix(std::wstring_view path) {
  constexpr std::wstring_view kPrefix = L"\\\\?\\";
  return path.starts_with(kPrefix) ? path.substr(kPrefix.size()) : path;
}

bool same_path(std::wstring_view a, std::wstring_view b) {
  a = without_long_prefix(a);
  b = without_long_prefix(b);
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring image_of(DWORD process_id) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) {
    return {};
  }
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD size = static_cast<DWORD>(std::size(buffer));
  if (!::QueryFullProcessImageNameW(process.get(), 0, buffer, &size)) {
    return {};
  }
  return std::wstring(buffer, size);
}

std::vector<uint32_t> processes_running(const std::vector<std::wstring>& files) {
  std::vector<uint32_t> ids;
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    return ids;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    const std::wstring image = image_of(entry.th32ProcessID);
    for (const std::wstring& file : files) {
      if (!image.empty() && same_path(image, file)) {
        ids.push_back(entry.th32ProcessID);
        break;
      }
    }
  }
  return ids;
}

}  // namespace

uint32_t ProcessScanRestartManager::start_session(uint32_t& session) {
  files_.clear();
  session = kSession;
  return 0;
}

uint32_t ProcessScanRestartManager::register_file(uint32_t, const std::string& path) {
  files_.push_back(to_wide(path));
  return 0;
}

// Sized like the real call: with too little room it says how much it needs.
uint32_t ProcessScanRestartManager::get_list(uint32_t,
                                             uint32_t capacity,
                                             uint32_t& needed,
                                             uint32_t& returned,
                                             std::vector<uint32_t>& process_ids) {
  const std::vector<uint32_t> running = processes_running(files_);
  needed = static_cast<uint32_t>(running.size());
  returned = 0;
  process_ids.assign(capacity, 0);
  if (running.size() > capacity) {
    return kErrorMoreData;
  }
  for (size_t i = 0; i < running.size(); ++i) {
    process_ids[i] = running[i];
  }
  returned = needed;
  return 0;
}

void ProcessScanRestartManager::end_session(uint32_t) {
  files_.clear();
}

}  // namespace velmo::test
