#include "environment/environment_check.h"

#include <gtest/gtest.h>

namespace velmo {
namespace {

// Scripted answers of the machine, recording what the check asked.
class EnvironmentCheckTest : public testing::Test {
 protected:
  EnvironmentCheckTest() {
    probes_.read_os_version = [this] { return version_; };
    probes_.detect_components = [this] {
      ++detections_;
      return detection_;
    };
    probes_.installed_status = [this](const std::string& dir) {
      rated_.push_back(dir);
      return status_;
    };
  }

  EnvironmentCheck check(const std::optional<std::string>& dir) {
    return check_environment(dir, probes_);
  }

  EnvironmentProbes probes_;
  std::optional<OsVersion> version_ = OsVersion{10, 0, 19045, kProductWorkstation};
  ComponentDetection detection_;
  InstalledStatus status_ = InstalledStatus::kNotInstalled;
  int detections_ = 0;
  std::vector<std::string> rated_;
};

TEST_F(EnvironmentCheckTest, SupportedSystemCopiesDetectionIntoTheReport) {
  detection_.webview2_present = true;
  detection_.workbench_current = false;
  detection_.workbench_installer_ready = true;
  const EnvironmentCheck result = check(std::nullopt);
  EXPECT_EQ(result.report.os_label, "Windows 10 x64 · Build 19045");
  EXPECT_EQ(result.report.verdict, "正常版");
  EXPECT_TRUE(result.report.supported);
  EXPECT_EQ(result.report.present, (std::array<bool, 5>{true, true, true, true, false}));
  EXPECT_EQ(result.report.ready, (std::array<bool, 6>{false, false, false, false, false, true}));
  EXPECT_FALSE(result.workbench_status.has_value()) << "no install location known";
  EXPECT_TRUE(rated_.empty());
}

TEST_F(EnvironmentCheckTest, UnsupportedSystemDetectsNothing) {
  version_ = OsVersion{6, 1, 7601, kProductWorkstation};
  detection_.webview2_present = true;
  const EnvironmentCheck result = check(std::nullopt);
  EXPECT_EQ(detections_, 0);
  EXPECT_FALSE(result.report.supported);
  EXPECT_EQ(result.report.present, (std::array<bool, 5>{}));
  EXPECT_EQ(result.report.ready, (std::array<bool, 6>{}));
}

TEST_F(EnvironmentCheckTest, UnreadableVersionWaitsForAnotherCheck) {
  version_ = std::nullopt;
  const EnvironmentCheck result = check(std::nullopt);
  EXPECT_EQ(result.report.os_label, "Windows（版本读取失败）");
  EXPECT_EQ(result.report.verdict, "等待检测");
  EXPECT_EQ(detections_, 0);
}

TEST_F(EnvironmentCheckTest, ChosenLocationDecidesTheWorkbenchFlag) {
  struct Case {
    bool detected_current;
    InstalledStatus chosen;
    bool present;
  };
  const Case cases[] = {
      {true, InstalledStatus::kNotInstalled, false},
      {true, InstalledStatus::kOutdated, false},
      {false, InstalledStatus::kCurrent, true},
  };
  for (const Case& c : cases) {
    detection_.workbench_current = c.detected_current;
    status_ = c.chosen;
    const EnvironmentCheck result = check("E:\\Tools\\IDE");
    EXPECT_EQ(result.workbench_status, c.chosen);
    EXPECT_EQ(result.report.present[4], c.present);
  }
  EXPECT_EQ(rated_.back(), "E:\\Tools\\IDE");
}

TEST_F(EnvironmentCheckTest, LocationIsRatedEvenOnUnsupportedSystems) {
  version_ = OsVersion{6, 3, 9600, kProductWorkstation};
  status_ = InstalledStatus::kCurrent;
  const EnvironmentCheck result = check("D:\\IDE");
  EXPECT_EQ(result.workbench_status, InstalledStatus::kCurrent);
  EXPECT_TRUE(result.report.present[4]);
}

}  // namespace
}  // namespace velmo
