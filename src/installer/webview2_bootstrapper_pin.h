#ifndef VELMO_INSTALLER_WEBVIEW2_BOOTSTRAPPER_PIN_H_
#define VELMO_INSTALLER_WEBVIEW2_BOOTSTRAPPER_PIN_H_

#include <cstdint>

namespace velmo {

// The WebView2 runtime bootstrapper the assistant carries and caches. Its
// size and digest are pinned: a cached copy counts only when it is exactly
// this file, and the carried copy is checked against the same values.
inline constexpr char kBootstrapperFileName[] = "MicrosoftEdgeWebview2Setup.exe";
inline constexpr uint64_t kBootstrapperBytes = 1691856;
inline constexpr char kBootstrapperSha256[] =
    "0223FA1E8D5BD5E4344FB8734E60D088E79F262C0A24444D01F240BC996F04E5";

}  // namespace velmo

#endif  // VELMO_INSTALLER_WEBVIEW2_BOOTSTRAPPER_PIN_H_
