#ifndef VELMO_UI_MAIN_VIEW_H_
#define VELMO_UI_MAIN_VIEW_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ui/component_rows.h"

namespace velmo {

// Everything the main layout reads, already worded. The screen logic fills it
// once per paint; the layout turns it into drawing steps without knowing
// screens, so each side can be tested alone.
struct MainView {
  bool busy = false;        // a worker downloads or installs: buttons ignore the user
  bool installing = false;  // the progress bar sweeps instead of filling

  std::string header_text;
  std::string version_chip;  // the whole chip, "目标版本  v{version}"
  std::string title;
  std::string description;
  std::string location_text;
  std::array<ComponentRow, kComponentRowCount> rows;
  std::string status_line;

  std::string secondary_label;
  bool secondary_enabled = true;
  std::string primary_label;
  bool primary_active = false;
  bool close_enabled = true;
  bool choose_directory_enabled = true;

  std::string footnote;

  int32_t progress = 0;  // 0..100
  uint32_t install_sweep = 0;
  uint32_t intro_tick = 0xFFFFFFFF;  // the badge intro's tick, all ones when idle
};

}  // namespace velmo

#endif  // VELMO_UI_MAIN_VIEW_H_
