#include "ui/ui_state.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

struct ApplyCase {
  const char* name;
  bool webview2_present;
  std::optional<InstalledStatus> status;
  uint8_t expected_state;
  Component expected_component;
};

// The record starts as an earlier check left it: installed and current.
const ApplyCase kApplyCases[] = {
    {"RuntimeMissingComesFirst", false, InstalledStatus::kNotInstalled, 0,
     Component::WebView2Runtime},
    {"RuntimePresentMovesOnToTheWorkbench", true, InstalledStatus::kNotInstalled, 0,
     Component::Workbench},
    {"OutdatedMeansUpdate", true, InstalledStatus::kOutdated, 1, Component::Workbench},
    {"Current", false, InstalledStatus::kCurrent, 2, Component::WebView2Runtime},
    {"UnknownLocationKeepsTheEarlierRating", true, std::nullopt, 2, Component::Workbench},
};

class ApplyEnvironmentCheckTest : public testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyEnvironmentCheckTest, WritesReportRatingAndComponent) {
  const ApplyCase& c = GetParam();
  UiState state;
  state.workbench_state = 2;
  state.is_update = true;
  state.current_component = Component::General;
  EnvironmentCheck check;
  check.report.os_label = "Windows 11 x64 · Build 22631";
  check.report.present[3] = c.webview2_present;
  check.workbench_status = c.status;

  apply_environment_check(state, check);

  ASSERT_TRUE(state.report.has_value());
  EXPECT_EQ(state.report->os_label, "Windows 11 x64 · Build 22631");
  EXPECT_EQ(state.workbench_state, c.expected_state);
  // Only the start action decides whether the running action is an update:
  // a later check (a chosen directory, a re-check) leaves it alone.
  EXPECT_TRUE(state.is_update);
  EXPECT_EQ(state.current_component, c.expected_component);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ApplyEnvironmentCheckTest,
                         testing::ValuesIn(kApplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmo
