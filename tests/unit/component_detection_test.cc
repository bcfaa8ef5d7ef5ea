#include "environment/component_detection.h"

#include <gtest/gtest.h>

#include "network/sha256_file.h"
#include "product_files/install_manifest.h"
#include "release_fixture.h"
#include "temp_dir.h"
#include "test_env.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

class CachedFileTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-cache"};
  std::string path_ = dir_.join("cached.exe");
};

TEST_F(CachedFileTest, RightSizeAndDigestIsReady) {
  test::write_file(path_, "bootstrapper bytes");
  const std::string digest = sha256_file(path_).value();
  EXPECT_TRUE(is_cached_file_ready(path_, 18, digest));
  std::string lower = digest;
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_TRUE(is_cached_file_ready(path_, 18, lower));
}

TEST_F(CachedFileTest, OneChangedByteOrAnotherSizeIsNotReady) {
  test::write_file(path_, "bootstrapper bytes");
  const std::string digest = sha256_file(path_).value();
  test::write_file(path_, "bootstrapper bytez");
  EXPECT_FALSE(is_cached_file_ready(path_, 18, digest));
  test::write_file(path_, "bootstrapper bytes!");
  EXPECT_FALSE(is_cached_file_ready(path_, 18, std::nullopt));
}

TEST_F(CachedFileTest, SizeAloneDecidesWhenNoDigestIsGiven) {
  test::write_file(path_, "0123456789");
  EXPECT_TRUE(is_cached_file_ready(path_, 10, std::nullopt));
  EXPECT_FALSE(is_cached_file_ready(path_, 11, std::nullopt));
}

TEST_F(CachedFileTest, MissingFileOrDirectoryIsNotReady) {
  EXPECT_FALSE(is_cached_file_ready(path_, 0, std::nullopt));
  ASSERT_TRUE(create_directories(path_));
  EXPECT_FALSE(is_cached_file_ready(path_, 0, std::nullopt));
}

#ifndef _WIN32
TEST_F(CachedFileTest, LinkToARightFileIsNotReady) {
  const std::string real = dir_.join("real.exe");
  test::write_file(real, "0123456789");
  ASSERT_EQ(::symlink(real.c_str(), path_.c_str()), 0);
  EXPECT_FALSE(is_cached_file_ready(path_, 10, std::nullopt));
}
#endif

// A machine of its own: data root, runtime folders, no recorded location
// (so discovery lands on a default that holds nothing) unless a test records
// one.
class DetectComponentsTest : public testing::Test {
 protected:
  DetectComponentsTest()
      : program_data_("ProgramData", data_.path()),
        machine_env_("ProgramFiles(x86)", data_.join("pf86")),
        user_env_("LOCALAPPDATA", data_.join("lad")),
        downloads_(path_join(path_join(data_.path(), "VelmoInstaller"), "downloads")) {
    EXPECT_TRUE(create_directories(downloads_));
  }

  ComponentDetection detect() {
    DetectionProbes probes;
    probes.query_webview2_version = [](const std::string&, const std::string&) {
      return std::optional<std::string>();
    };
    probes.is_fixed_drive = [](const std::string&) { return false; };
    return detect_components(probes);
  }

  // An installation at a recorded location.
  void install(const std::string& version) {
    const std::string dir = data_.join("IDE");
    ASSERT_TRUE(create_directories(dir));
    const std::string program = path_join(dir, kMainProgramFileName);
    test::write_file(program, "MZ");
    ASSERT_TRUE(
        write_install_manifest(path_join(dir, kInstallManifestFileName), dir, program, version));
    ASSERT_TRUE(record_install_location(dir));
  }

  test::TempDir data_{"velmo-detect"};
  test::ScopedEnv program_data_;
  test::ScopedEnv machine_env_;
  test::ScopedEnv user_env_;
  test::ScopedReleaseStore releases_;
  std::string downloads_;
};

TEST_F(DetectComponentsTest, FreshMachineHasNothingReady) {
  const ComponentDetection detection = detect();
  EXPECT_TRUE(detection.sp1_present);
  EXPECT_TRUE(detection.kb4490628_present);
  EXPECT_TRUE(detection.kb4474419_present);
  EXPECT_FALSE(detection.webview2_present);
  EXPECT_FALSE(detection.workbench_current);
  EXPECT_FALSE(detection.webview2_bootstrapper_ready);
  EXPECT_FALSE(detection.workbench_installer_ready);
}

TEST_F(DetectComponentsTest, CachedInstallerOfTheStoredReleaseIsReadyBySize) {
  const std::string cached = path_join(downloads_, "VelmoQenWorkbench-Update-v1.10.0.package");
  test::write_file(cached, "0123456789");
  EXPECT_FALSE(detect().workbench_installer_ready) << "no policy fetched yet";
  releases_.store("1.10.0", 10);
  EXPECT_TRUE(detect().workbench_installer_ready);
  releases_.store("1.10.0", 11);
  EXPECT_FALSE(detect().workbench_installer_ready);
  releases_.store("1.11.0", 10);
  EXPECT_FALSE(detect().workbench_installer_ready) << "cache of another version";
}

TEST_F(DetectComponentsTest, CurrentWorkbenchAtTheDiscoveredLocationSkipsTheInstaller) {
  test::write_file(path_join(downloads_, "VelmoQenWorkbench-Update-v1.10.0.package"), "0123456789");
  releases_.store("1.10.0", 10);
  install("1.10.0");
  const ComponentDetection current = detect();
  EXPECT_TRUE(current.workbench_current);
  EXPECT_FALSE(current.workbench_installer_ready) << "not looked at when current";

  releases_.store("1.11.0", 10);
  EXPECT_FALSE(detect().workbench_current);
}

TEST_F(DetectComponentsTest, BootstrapperOfTheWrongSizeIsNotReady) {
  test::write_file(path_join(downloads_, "MicrosoftEdgeWebview2Setup.exe"), "MZ not the one");
  EXPECT_FALSE(detect().webview2_bootstrapper_ready);
}

TEST_F(DetectComponentsTest, PresentRuntimeSkipsTheBootstrapper) {
  std::string folder = data_.join("pf86");
  for (const char* part : {"Microsoft", "EdgeWebView", "Application", "120.0.2210.91"}) {
    folder = path_join(folder, part);
  }
  ASSERT_TRUE(create_directories(folder));
  test::write_file(path_join(folder, "msedgewebview2.exe"), "MZ");
  test::write_file(path_join(folder, "msedge.dll"), "MZ");
  DetectionProbes probes;
  probes.query_webview2_version = [](const std::string& root, const std::string&) {
    return root == "HKLM" ? std::optional<std::string>("120.0.2210.91") : std::nullopt;
  };
  probes.is_fixed_drive = [](const std::string&) { return false; };
  const ComponentDetection detection = detect_components(probes);
  EXPECT_TRUE(detection.webview2_present);
  EXPECT_FALSE(detection.webview2_bootstrapper_ready);
}

}  // namespace
}  // namespace velmo
