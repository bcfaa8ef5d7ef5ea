#include "environment/windows_classification.h"

namespace velmo {

namespace {

// Windows 11 kept major version 10; only the build tells them apart.
constexpr uint32_t kLastWindows10Build = 21999;

std::string label(std::string_view name, uint32_t build) {
  return std::string(name) + " x64 · Build " + std::to_string(build);
}

WindowsClassification unsupported(std::string os_label, std::string verdict) {
  return {std::move(os_label), std::move(verdict), false};
}

WindowsClassification supported(std::string os_label, std::string verdict) {
  return {std::move(os_label), std::move(verdict), true};
}

}  // namespace

WindowsClassification classify_windows(const std::optional<OsVersion>& version) {
  if (!version) {
    return unsupported("Windows（版本读取失败）", "等待检测");
  }
  const OsVersion& v = *version;
  const bool workstation = v.product_type == kProductWorkstation;
  if (v.major == 6 && v.minor == 0 && workstation) {
    return unsupported(label("Windows Vista", v.build), "不支持当前系统");
  }
  if (v.major == 6 && v.minor == 1 && workstation) {
    return unsupported(label("Windows 7", v.build), "仅支持 Windows 10/11 x64");
  }
  if (v.major >= 10 && workstation) {
    const char* name = v.build > kLastWindows10Build ? "Windows 11" : "Windows 10";
    return supported(label(name, v.build), "正常版");
  }
  if (v.product_type == kProductDomainController || v.product_type == kProductServer) {
    return supported(label("Windows Server", v.build), "服务器兼容模式");
  }
  const std::string name = "Windows " + std::to_string(v.major) + "." + std::to_string(v.minor);
  return unsupported(label(name, v.build), "需要进一步确认");
}

}  // namespace velmo
