// Takes the place of the WebView2 Evergreen bootstrapper in development and
// test builds of the assistant. The assistant runs it as
// "velmo-webview2-standin.exe /silent /install", waits for it and then looks
// for the runtime the way it looks for the real one: the "pv" value of the
// EdgeUpdate client key and the runtime's two files in the versioned folder.
// So this program leaves exactly those behind, files first and the value
// last, as an installer that finishes its copy before registering it.
//
// VELMO_WEBVIEW2_STANDIN, a comma-separated list (unset or empty: defaults):
//   scope=machine|user  HKLM and %ProgramFiles(x86)% (default), or HKCU and
//                       %LOCALAPPDATA%
//   exit=N              exit code, signed 32-bit decimal (default 0)
//   delay=S             the runtime appears S seconds after this process
//                       has ended (a detached copy of it writes it)
//   none                write no runtime at all
//   version=V           the runtime's version (default 120.0.2210.91)
//   log=PATH            append the arguments received as one UTF-8 line
// A setting it does not understand: nothing written, exit 87. A write that
// fails: exit 1603.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "own_program.h"
#include "platform/win/handles.h"
#include "standin_log.h"
#include "standin_options.h"

namespace {

using velmo::UniqueHandle;

constexpr wchar_t kSettingsVariable[] = L"VELMO_WEBVIEW2_STANDIN";
// Only this program starts itself with it; the delayed copy writes the
// runtime and neither logs nor starts another copy.
constexpr wchar_t kDelayedInstallArgument[] = L"--velmo-standin-delayed-install";
// ERROR_INSTALL_FAILURE: what the assistant sees from a bootstrapper whose
// install broke.
constexpr int kWriteFailed = 1603;

constexpr wchar_t kMachineClientKey[] =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\"
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t kUserClientKey[] =
    L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

enum class Scope { kMachine, kUser };

struct Behaviour {
  Scope scope = Scope::kMachine;
  int32_t exit_code = 0;
  DWORD delay_seconds = 0;
  bool write_nothing = false;
  std::wstring version = L"120.0.2210.91";
  std::wstring log_path;
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::RegCloseKey(h); }
};
using UniqueRegistryKey = velmo::UniqueResource<RegistryKeyTraits>;

bool apply_value_setting(const std::wstring& name, const std::wstring& value, Behaviour& out) {
  if (name == L"scope") {
    if (value != L"machine" && value != L"user") {
      return false;
    }
    out.scope = value == L"user" ? Scope::kUser : Scope::kMachine;
    return true;
  }
  if (name == L"exit") {
    const std::optional<int32_t> code = velmo::standin::parse_int32(value);
    out.exit_code = code.value_or(0);
    return code.has_value();
  }
  if (name == L"delay") {
    const std::optional<DWORD> seconds = velmo::standin::parse_seconds(value);
    out.delay_seconds = seconds.value_or(0);
    return seconds.has_value();
  }
  if (name == L"version") {
    out.version = value;
    return velmo::standin::is_dotted_version(value);
  }
  if (name == L"log") {
    out.log_path = value;
    return !value.empty();
  }
  return false;
}

std::optional<Behaviour> read_behaviour() {
  return velmo::standin::read_settings<Behaviour>(
      kSettingsVariable, L"none", [](Behaviour& behaviour) { behaviour.write_nothing = true; },
      apply_value_setting);
}

// Every level is attempted: the ones that exist (the drive, the user's
// folders) fail harmlessly, and only the last one decides.
bool create_folders(const std::wstring& path) {
  for (size_t slash = path.find(L'\\', 1); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
  }
  ::CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool write_small_file(const std::wstring& path, std::string_view content) {
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  DWORD written = 0;
  return ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                     nullptr) &&
         written == content.size();
}

bool write_runtime_files(const Behaviour& behaviour) {
  std::wstring base = velmo::standin::environment_variable(
      behaviour.scope == Scope::kMachine ? L"ProgramFiles(x86)" : L"LOCALAPPDATA");
  if (base.empty()) {
    return false;
  }
  if (base.back() == L'\\') {
    base.pop_back();
  }
  const std::wstring folder = base + L"\\Microsoft\\EdgeWebView\\Application\\" + behaviour.version;
  return create_folders(folder) &&
         write_small_file(folder + L"\\msedgewebview2.exe", "velmo webview2 stand-in\r\n") &&
         write_small_file(folder + L"\\msedge.dll", "velmo webview2 stand-in\r\n");
}

bool register_version(const Behaviour& behaviour) {
  const bool machine = behaviour.scope == Scope::kMachine;
  UniqueRegistryKey key;
  if (::RegCreateKeyExW(machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                        machine ? kMachineClientKey : kUserClientKey, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const auto bytes = static_cast<DWORD>((behaviour.version.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.get(), L"pv", 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(behaviour.version.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool install_runtime(const Behaviour& behaviour) {
  return write_runtime_files(behaviour) && register_version(behaviour);
}

// The copy must outlive this process and whatever waits for it: no
// inherited handles, and out of the caller's job where the job allows it (a
// job that does not is used as it is).
bool start_delayed_install() {
  const std::wstring program = velmo::standin::own_program_path();
  if (program.empty()) {
    return false;
  }
  std::wstring command_line = L"\"" + program + L"\" " + kDelayedInstallArgument;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  for (const DWORD breakaway : {static_cast<DWORD>(CREATE_BREAKAWAY_FROM_JOB), DWORD{0}}) {
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                         DETACHED_PROCESS | CREATE_NO_WINDOW | breakaway, nullptr, nullptr,
                         &startup, &info)) {
      const UniqueHandle process(info.hProcess);
      const UniqueHandle thread(info.hThread);
      return true;
    }
  }
  return false;
}

int run_delayed_install(const Behaviour& behaviour) {
  ::Sleep(behaviour.delay_seconds * 1000);
  return install_runtime(behaviour) ? 0 : kWriteFailed;
}

int run(const Behaviour& behaviour) {
  if (!behaviour.log_path.empty() &&
      !velmo::standin::append_line(behaviour.log_path, velmo::standin::join_arguments(
                                                           velmo::standin::program_arguments()))) {
    return kWriteFailed;
  }
  if (behaviour.write_nothing) {
    return behaviour.exit_code;
  }
  if (behaviour.delay_seconds > 0) {
    return start_delayed_install() ? behaviour.exit_code : kWriteFailed;
  }
  return install_runtime(behaviour) ? behaviour.exit_code : kWriteFailed;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::optional<Behaviour> behaviour = read_behaviour();
  if (!behaviour) {
    return velmo::standin::kMalformedSettings;
  }
  if (__argc == 2 && std::wstring_view(__wargv[1]) == kDelayedInstallArgument) {
    return run_delayed_install(*behaviour);
  }
  return run(*behaviour);
}
