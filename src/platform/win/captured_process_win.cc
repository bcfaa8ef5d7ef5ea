#include <windows.h>

#include <array>
#include <thread>
#include <vector>

#include "platform/captured_process.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "platform/windows_command_line.h"

namespace velmo {

namespace {

struct Pipe {
  UniqueHandle read;
  UniqueHandle write;
};

// The write end is inheritable, the read end stays with us.
OsResult<Pipe> make_pipe() {
  SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &security, 0)) {
    return std::unexpected(last_os_error());
  }
  Pipe pipe{UniqueHandle(read), UniqueHandle(write)};
  if (!::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0)) {
    return std::unexpected(last_os_error());
  }
  return pipe;
}

OsResult<UniqueHandle> open_null_input() {
  SECURITY_ATTRIBUTES security{sizeof(security), nullptr, TRUE};
  UniqueHandle null(::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &security, OPEN_EXISTING, 0, nullptr));
  if (!null) {
    return std::unexpected(last_os_error());
  }
  return null;
}

// Restricts inheritance to the three standard handles: another thread
// starting a program at the same moment must not inherit our pipe ends,
// or the pipe would stay open after our child ended and the read would
// never finish.
class InheritedHandleList {
 public:
  explicit InheritedHandleList(std::array<HANDLE, 3> handles) : handles_(handles) {}
  ~InheritedHandleList() {
    if (initialized_) {
      ::DeleteProcThreadAttributeList(list());
    }
  }
  InheritedHandleList(const InheritedHandleList&) = delete;
  InheritedHandleList& operator=(const InheritedHandleList&) = delete;

  OsStatus initialize() {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size);
    if (!::InitializeProcThreadAttributeList(list(), 1, 0, &size)) {
      return std::unexpected(last_os_error());
    }
    initialized_ = true;
    if (!::UpdateProcThreadAttribute(list(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                     sizeof(HANDLE) * handles_.size(), nullptr, nullptr)) {
      return std::unexpected(last_os_error());
    }
    return {};
  }

  LPPROC_THREAD_ATTRIBUTE_LIST list() {
    return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
  }

 private:
  std::array<HANDLE, 3> handles_;
  std::vector<unsigned char> storage_;
  bool initialized_ = false;
};

// Reads until the writer is gone, keeping at most `keep` bytes.
std::string drain(HANDLE read, size_t keep) {
  std::string kept;
  std::array<char, 4096> buffer;
  DWORD count = 0;
  while (::ReadFile(read, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr) &&
         count > 0) {
    const size_t room = keep - kept.size();
    kept.append(buffer.data(), std::min<size_t>(room, count));
  }
  return kept;
}

}  // namespace

std::string system_directory() {
  wchar_t directory[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length > MAX_PATH) {
    return {};
  }
  return from_wide(std::wstring_view(directory, length));
}

std::string system_program_path(std::string_view name) {
  std::string path = system_directory();
  if (path.empty()) {
    return std::string(name);
  }
  path.push_back('\\');
  path.append(name);
  return path;
}

OsResult<CapturedRun> run_captured(const std::string& program,
                                   const std::vector<std::string>& arguments) {
  // Without the system directory nothing starts: inheriting ours instead is
  // what this avoids.
  const std::wstring directory = to_wide(system_directory());
  if (directory.empty()) {
    return std::unexpected(os_error_from_code(ERROR_PATH_NOT_FOUND));
  }
  OsResult<Pipe> output = make_pipe();
  if (!output) {
    return std::unexpected(output.error());
  }
  OsResult<Pipe> error = make_pipe();
  if (!error) {
    return std::unexpected(error.error());
  }
  OsResult<UniqueHandle> input = open_null_input();
  if (!input) {
    return std::unexpected(input.error());
  }
  InheritedHandleList inherited({input->get(), output->write.get(), error->write.get()});
  if (auto initialized = inherited.initialize(); !initialized) {
    return std::unexpected(initialized.error());
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = input->get();
  startup.StartupInfo.hStdOutput = output->write.get();
  startup.StartupInfo.hStdError = error->write.get();
  startup.lpAttributeList = inherited.list();

  std::wstring command_line = to_wide(build_windows_command_line(program, arguments));
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(to_wide(program).c_str(), command_line.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, directory.c_str(),
                        &startup.StartupInfo, &info)) {
    return std::unexpected(last_os_error());
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  // Our copies of the child's ends must go, or the reads never see the end.
  output->write.reset();
  error->write.reset();
  input->reset();

  std::thread error_reader([read = error->read.get()] { drain(read, 0); });
  CapturedRun run;
  run.standard_output = drain(output->read.get(), kMaxCapturedBytes);
  error_reader.join();

  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exit_code = 0;
  if (!::GetExitCodeProcess(process.get(), &exit_code)) {
    return std::unexpected(last_os_error());
  }
  run.exit_code = exit_code;
  return run;
}

}  // namespace velmo
