#ifndef VELMO_APP_WEBVIEW2_BOOTSTRAPPER_H_
#define VELMO_APP_WEBVIEW2_BOOTSTRAPPER_H_

#include <string>
#include <string_view>

#include "app/installer_runner.h"
#include "platform/result.h"
#include "product_files/embedded_bootstrapper.h"

namespace velmo {

// Messages of the write-out and of the check before running.
inline constexpr char kCarriedBootstrapperCorrupt[] =
    "内置的微软 WebView2 Evergreen 引导器校验失败，已停止安装。";
inline constexpr char kWrittenBootstrapperMismatch[] =
    "WebView2 Evergreen 引导器 SHA256 校验失败，文件不会执行。";

// The arguments the bootstrapper is run with.
inline constexpr std::string_view kBootstrapperArguments[] = {"/silent", "/install"};

// The name the bootstrapper is written under while it is incomplete:
// "MicrosoftEdgeWebview2Setup.exe.part".
std::string bootstrapper_partial_name();

// Writes `carried` into `directory` as MicrosoftEdgeWebview2Setup.exe: its
// digest is checked first (nothing is written when it is wrong), it is
// written to the ".part" name, flushed, hashed again from the disk, and only
// then renamed over the final name. Returns the final path.
Result<std::string> write_out_bootstrapper(const CarriedFile& carried,
                                           const std::string& directory);

// The same for the bootstrapper this program carries, into the download
// directory.
Result<std::string> write_out_webview2_bootstrapper();

// Runs the bootstrapper written by write_out_bootstrapper with "/silent"
// "/install", from a copy in a folder made for the run, which is also its
// working directory. The file is opened so that nobody can change it and checked
// against `sha256` once more right before it is started: time passes between
// the write-out and the run (the workbench download), and the download
// folder is not ours alone.
Status run_written_bootstrapper(const std::string& path,
                                std::string_view sha256,
                                const ProcessRunner& run);

// The same against this build's pin and with the system's process creation.
Status run_written_webview2_bootstrapper(const std::string& path);

}  // namespace velmo

#endif  // VELMO_APP_WEBVIEW2_BOOTSTRAPPER_H_
