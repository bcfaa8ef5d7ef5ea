#ifndef VELMO_TESTS_UNIT_UI_TEST_STATE_H_
#define VELMO_TESTS_UNIT_UI_TEST_STATE_H_

#include <cstdint>

#include "network/release_store.h"
#include "ui/ui_state.h"

namespace velmo::test {

inline constexpr char kTestInstallDir[] = "D:\\IDE";
inline constexpr char kTestOsLabel[] = "Windows 11 x64 · Build 22631";

// A record as the environment check leaves it: install directory D:\IDE, the
// runtime present, the workbench rated `ws` (present only when current).
inline UiState checked_state(Screen screen, uint8_t ws, bool supported = true) {
  UiState state;
  state.screen = screen;
  state.workbench_state = ws;
  state.install_dir = InstallDir{kTestInstallDir, false};
  EnvironmentReport report;
  report.os_label = kTestOsLabel;
  report.supported = supported;
  report.present[3] = true;
  report.present[4] = ws == 2;
  state.report = report;
  return state;
}

// The release of an accepted policy: version 2.3.4, a 123.456789 MB installer.
inline VerifiedRelease test_release() {
  return VerifiedRelease{"2.3.4", "https://localhost/v1/downloads/x", std::string(64, 'A'),
                         123'456'789};
}

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_UI_TEST_STATE_H_
