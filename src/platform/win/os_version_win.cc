#include <windows.h>

#include "platform/os_version.h"

namespace velmo {

namespace {

using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);

}  // namespace

std::optional<OsVersion> read_os_version() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) {
    return std::nullopt;
  }
  // FARPROC is a generic function pointer; going through void* is the
  // documented way to give it its real type.
  const auto rtl_get_version = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")));
  if (rtl_get_version == nullptr) {
    return std::nullopt;
  }
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (rtl_get_version(&info) != 0) {
    return std::nullopt;
  }
  return OsVersion{.major = info.dwMajorVersion,
                   .minor = info.dwMinorVersion,
                   .build = info.dwBuildNumber,
                   .product_type = info.wProductType};
}

}  // namespace velmo
