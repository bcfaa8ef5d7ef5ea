#include "ui/component_labels.h"

#include <cstdio>

namespace velmo {

namespace {

constexpr char kWaitingForCheck[] = "等待检测";
constexpr char kWaitingForServer[] = "等待服务器";
// Size of the carried Evergreen bootstrapper, in MB.
constexpr double kWebView2DownloadMegabytes = 1.691856;

std::string megabytes_text(double megabytes) {
  char text[64] = {};
  std::snprintf(text, sizeof(text), "%.1f MB", megabytes);
  return text;
}

// 0..59 as two digits.
std::string two_digits(uint64_t value) {
  const char digits[2] = {static_cast<char>('0' + value / 10 % 10),
                          static_cast<char>('0' + value % 10)};
  return std::string(digits, sizeof(digits));
}

}  // namespace

std::string version_text(const TextInputs& inputs) {
  return inputs.release ? inputs.release->latest_version : kWaitingForCheck;
}

std::string version_chip_text(const TextInputs& inputs) {
  return "目标版本  v" + version_text(inputs);
}

std::string component_display_label(Component component, const TextInputs& inputs) {
  switch (component) {
    case Component::ServicePack1:
      return "Service Pack 1";
    case Component::Kb4490628:
      return "KB4490628";
    case Component::Kb4474419:
      return "KB4474419";
    case Component::WebView2Runtime:
      return "WebView2 Evergreen 运行环境";
    case Component::Workbench:
      return "VelmoQen工作台 v" + version_text(inputs);
    case Component::General:
      break;
  }
  return "安装组件";
}

std::string download_size_text(Component component, const TextInputs& inputs) {
  if (component == Component::WebView2Runtime) {
    return megabytes_text(kWebView2DownloadMegabytes);
  }
  if (!inputs.release) {
    return kWaitingForServer;
  }
  return megabytes_text(static_cast<double>(inputs.release->installer_bytes) / 1'000'000.0);
}

std::string elapsed_text(uint64_t seconds) {
  const uint64_t hours = seconds / 3600;
  const std::string minutes_and_seconds =
      two_digits(seconds % 3600 / 60) + "分" + two_digits(seconds % 60) + "秒";
  if (hours == 0) {
    return minutes_and_seconds;
  }
  return std::to_string(hours) + "小时" + minutes_and_seconds;
}

}  // namespace velmo
