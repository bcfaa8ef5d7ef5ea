#ifndef VELMO_UI_COMPONENT_LABELS_H_
#define VELMO_UI_COMPONENT_LABELS_H_

#include <cstdint>
#include <string>

#include "app/worker_event.h"
#include "ui/text_inputs.h"

namespace velmo {

// The target version as the window shows it: the release's, or "等待检测"
// while no policy is available.
std::string version_text(const TextInputs& inputs);

// "目标版本  v{version}" (two blanks before the v), the header's chip.
std::string version_chip_text(const TextInputs& inputs);

// How the window names a component in its status line: "安装组件",
// "WebView2 Evergreen 运行环境", "VelmoQen工作台 v{version}". Values outside
// the list are named like General.
std::string component_display_label(Component component, const TextInputs& inputs);

// The download size of the WebView2 runtime (the Evergreen bootstrapper) or
// the workbench installer, "{size:.1} MB"; the workbench's reads "等待服务器"
// while no policy is available.
std::string download_size_text(Component component, const TextInputs& inputs);

// "{m:02}分{s:02}秒" below an hour, "{h}小时{m:02}分{s:02}秒" from then on.
std::string elapsed_text(uint64_t seconds);

}  // namespace velmo

#endif  // VELMO_UI_COMPONENT_LABELS_H_
