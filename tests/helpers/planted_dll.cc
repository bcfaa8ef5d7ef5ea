// A DLL as someone could leave it next to a program in a shared folder. The
// tests copy it under the names of system DLLs; when a process loads a copy,
// it leaves "NAME.loaded" beside itself (NAME its own file name) and then
// refuses to load: the marker is all it does, and all the test looks at.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) {
    return TRUE;
  }
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(instance, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) {
    return FALSE;
  }
  path.resize(length);
  path += L".loaded";
  HANDLE marker = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) {
    ::CloseHandle(marker);
  }
  return FALSE;
}
