#include "product_files/install_manifest.h"

#include <gtest/gtest.h>

#include <chrono>

#include <nlohmann/json.hpp>

#include "platform/path_attributes.h"
#include "temp_dir.h"
#include "test_data.h"

#ifdef _WIN32
#include "platform/win/reparse_tag_seam.h"
#else
#include <unistd.h>
#endif

namespace velmo {
namespace {

const InstallManifest kParsed{.command_library_path = "embedded://frontend-bundle",
                              .executable_path = "D:\\IDE\\VelmoQen工作台.exe",
                              .install_path = "D:\\IDE",
                              .product = "VelmoQen工作台",
                              .version = "1.4.0"};

struct ParseCase {
  const char* name;
  std::string text;
  bool accepted;
};

const std::string kFiveKeys =
    R"("commandLibraryPath": "embedded://frontend-bundle", "executablePath": "D:\\IDE\\VelmoQen工作台.exe", "installPath": "D:\\IDE", "product": "VelmoQen工作台", "version": "1.4.0")";

const ParseCase kParseCases[] = {
    {"Object", "{" + kFiveKeys + "}", true},
    {"ObjectWithWhiteSpaceAround", " \r\n{" + kFiveKeys + "}\n\t ", true},
    {"ExtraKeysIgnored",
     R"({"components": [1, {"a": 2}], "installedAtUnix": 5, )" + kFiveKeys + "}", true},
    {"ArrayOfFive",
     R"(["embedded://frontend-bundle", "D:\\IDE\\VelmoQen工作台.exe", "D:\\IDE", "VelmoQen工作台", "1.4.0"])",
     true},
    {"ArrayOfFour",
     R"(["embedded://frontend-bundle", "D:\\IDE\\VelmoQen工作台.exe", "D:\\IDE", "VelmoQen工作台"])",
     false},
    {"ArrayOfSix",
     R"(["embedded://frontend-bundle", "D:\\IDE\\VelmoQen工作台.exe", "D:\\IDE", "VelmoQen工作台", "1.4.0", "x"])",
     false},
    {"MissingVersion",
     R"({"commandLibraryPath": "embedded://frontend-bundle", "executablePath": "D:\\IDE\\VelmoQen工作台.exe", "installPath": "D:\\IDE", "product": "VelmoQen工作台"})",
     false},
    {"DuplicateKey", "{" + kFiveKeys + R"(, "version": "9.9.9"})", false},
    {"DuplicateUnknownKey", R"({"x": 1, "x": 2, )" + kFiveKeys + "}", false},
    {"DuplicateInsideUnknownValue", R"({"x": {"y": 1, "y": 2}, )" + kFiveKeys + "}", false},
    {"VersionAsNumber",
     R"({"commandLibraryPath": "embedded://frontend-bundle", "executablePath": "D:\\IDE\\VelmoQen工作台.exe", "installPath": "D:\\IDE", "product": "VelmoQen工作台", "version": 140})",
     false},
    {"PathAsNull",
     R"({"commandLibraryPath": "embedded://frontend-bundle", "executablePath": null, "installPath": "D:\\IDE", "product": "VelmoQen工作台", "version": "1.4.0"})",
     false},
    {"TrailingText", "{" + kFiveKeys + "} x", false},
    {"TwoDocuments", "{" + kFiveKeys + "}{}", false},
    {"ByteOrderMark", "\xEF\xBB\xBF{" + kFiveKeys + "}", false},
    {"NulAfterDocument", "{" + kFiveKeys + "}" + std::string(1, '\0'), false},
    {"InvalidUtf8InString",
     R"({"commandLibraryPath": "embedded://frontend-bundle", "executablePath": "D:\\IDE\\VelmoQen工作台.exe", "installPath": "D:\\)"
     "\xFF"
     R"(", "product": "VelmoQen工作台", "version": "1.4.0"})",
     false},
    {"Truncated", "{" + kFiveKeys, false},
    {"Scalar", R"("1.4.0")", false},
    {"Empty", "", false},
};

class ParseManifestTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseManifestTest, AcceptsOnlyTheStrictForm) {
  const std::optional<InstallManifest> manifest = parse_install_manifest(GetParam().text);
  ASSERT_EQ(manifest.has_value(), GetParam().accepted);
  if (manifest) {
    EXPECT_EQ(*manifest, kParsed);
  }
}

INSTANTIATE_TEST_SUITE_P(Table,
                         ParseManifestTest,
                         testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An installation as the installer leaves it: the main program and a
// manifest that names this directory.
class InstallDirectoryTest : public testing::Test {
 protected:
  InstallDirectoryTest() : install_dir_(root_.join("VelmoQen工作台")) {
    EXPECT_TRUE(create_directories(install_dir_));
    test::write_file(main_program(), "MZ workbench");
  }

  std::string main_program() const { return path_join(install_dir_, kMainProgramFileName); }
  std::string manifest_path() const { return path_join(install_dir_, kInstallManifestFileName); }

  void write_manifest(const std::string& install_path,
                      const std::string& executable_path,
                      const std::string& version) {
    const Result<std::string> text =
        serialize_install_manifest(install_path, executable_path, version, 1765000000);
    ASSERT_TRUE(text.has_value());
    test::write_file(manifest_path(), *text);
  }

  void write_own_manifest(const std::string& version = "1.4.0") {
    write_manifest(install_dir_, main_program(), version);
  }

  test::TempDir root_{"velmo-manifest"};
  std::string install_dir_;
};

TEST_F(InstallDirectoryTest, WrittenInstallationIsRecognised) {
  write_own_manifest();
  const std::optional<InstallManifest> manifest = read_install_manifest(install_dir_);
  ASSERT_TRUE(manifest.has_value());
  EXPECT_EQ(manifest->version, "1.4.0");
  EXPECT_EQ(manifest->install_path, install_dir_);
  EXPECT_EQ(manifest->executable_path, main_program());
  EXPECT_EQ(resolve_launch_target(install_dir_).value(), main_program());
}

TEST_F(InstallDirectoryTest, InconsistentManifestsAreNotRecognised) {
  const std::string elsewhere = root_.join("copy");
  ASSERT_TRUE(create_directories(elsewhere));
  test::write_file(path_join(elsewhere, kMainProgramFileName), "MZ");
  const std::string other_file = path_join(install_dir_, "other.exe");
  test::write_file(other_file, "MZ");

  struct Case {
    const char* name;
    std::string install_path;
    std::string executable_path;
    std::string version;
  };
  const Case cases[] = {
      {"another existing directory", elsewhere, path_join(elsewhere, kMainProgramFileName),
       "1.4.0"},
      {"program of another directory", install_dir_, path_join(elsewhere, kMainProgramFileName),
       "1.4.0"},
      {"another file of this directory", install_dir_, other_file, "1.4.0"},
      {"missing directory", root_.join("gone"), main_program(), "1.4.0"},
      {"leading zero", install_dir_, main_program(), "1.04.0"},
      {"two components", install_dir_, main_program(), "1.4"},
      {"component too large", install_dir_, main_program(), "1.65536.0"},
  };
  for (const Case& c : cases) {
    write_manifest(c.install_path, c.executable_path, c.version);
    EXPECT_FALSE(read_install_manifest(install_dir_).has_value()) << c.name;
  }
}

TEST_F(InstallDirectoryTest, ProductAndCommandLibraryMustMatchExactly) {
  Result<std::string> text = serialize_install_manifest(install_dir_, main_program(), "1.4.0", 1);
  ASSERT_TRUE(text.has_value());
  const std::pair<std::string, std::string> edits[] = {
      {"\"product\": \"VelmoQen工作台\"", "\"product\": \"velmoqen工作台\""},
      {"\"product\": \"VelmoQen工作台\"", "\"product\": \"VelmoQen工作台 \""},
      {"embedded://frontend-bundle", "embedded://frontend-bundle2"},
      {"embedded://frontend-bundle", "file:///frontend-bundle"},
  };
  for (const auto& [from, to] : edits) {
    std::string edited = *text;
    const size_t at = edited.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    edited.replace(at, from.size(), to);
    test::write_file(manifest_path(), edited);
    EXPECT_FALSE(read_install_manifest(install_dir_).has_value()) << to;
  }
}

TEST_F(InstallDirectoryTest, ManifestWithoutComponentsOrWithExtraKeysIsRecognised) {
  const std::string text = R"({"extra": true, "commandLibraryPath": "embedded://frontend-bundle", )"
                           R"("executablePath": )" +
                           nlohmann::json(main_program()).dump() + R"(, "installPath": )" +
                           nlohmann::json(install_dir_).dump() +
                           R"(, "product": "VelmoQen工作台", "version": "1.10.0"})";
  test::write_file(manifest_path(), text);
  const std::optional<InstallManifest> manifest = read_install_manifest(install_dir_);
  ASSERT_TRUE(manifest.has_value());
  EXPECT_EQ(manifest->version, "1.10.0");
}

TEST_F(InstallDirectoryTest, MissingMainProgramOrManifestIsNotAnInstallation) {
  write_own_manifest();
  ASSERT_TRUE(remove_file(main_program()));
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
  EXPECT_EQ(resolve_launch_target(install_dir_).error(),
            "工作台安装清单或主程序不完整，无法安全启动。");

  test::write_file(main_program(), "MZ");
  ASSERT_TRUE(remove_file(manifest_path()));
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
}

TEST_F(InstallDirectoryTest, DirectoriesUnderTheFileNamesAreNotAnInstallation) {
  write_own_manifest();
  ASSERT_TRUE(remove_file(main_program()));
  ASSERT_TRUE(create_directories(main_program()));
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
}

TEST_F(InstallDirectoryTest, OversizedManifestIsNotRead) {
  write_own_manifest();
  std::string text = test::read_file(manifest_path());
  text.append(70000, ' ');
  test::write_file(manifest_path(), text);
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
}

#ifdef _WIN32
// Windows compares paths without regard to letter case; so does the rule.
TEST_F(InstallDirectoryTest, InstallPathInAnotherLetterCaseIsRecognised) {
  std::string upper = install_dir_;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  ASSERT_NE(upper, install_dir_);
  write_manifest(upper, path_join(upper, kMainProgramFileName), "1.4.0");
  EXPECT_TRUE(read_install_manifest(install_dir_).has_value());
}

std::string g_linked_path;
std::optional<uint32_t> linked(const std::string& path) {
  return path == g_linked_path ? std::optional<uint32_t>(0xA000000C) : std::nullopt;
}

TEST_F(InstallDirectoryTest, LinkedMainProgramIsNotAnInstallation) {
  write_own_manifest();
  g_linked_path = main_program();
  {
    const ScopedReparseTagProbe probe(linked);
    EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
    g_linked_path = manifest_path();
    EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
  }
  EXPECT_TRUE(read_install_manifest(install_dir_).has_value());
}
#else
TEST_F(InstallDirectoryTest, LinkedMainProgramOrManifestIsNotAnInstallation) {
  write_own_manifest();
  const std::string real_program = root_.join("real.exe");
  test::write_file(real_program, "MZ");
  ASSERT_TRUE(remove_file(main_program()));
  ASSERT_EQ(::symlink(real_program.c_str(), main_program().c_str()), 0);
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());

  ASSERT_TRUE(remove_file(main_program()));
  test::write_file(main_program(), "MZ");
  const std::string real_manifest = root_.join("real.json");
  ASSERT_TRUE(rename_path(manifest_path(), real_manifest));
  ASSERT_EQ(::symlink(real_manifest.c_str(), manifest_path().c_str()), 0);
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
}

TEST_F(InstallDirectoryTest, InstallPathInAnotherLetterCaseIsAnotherDirectoryHere) {
  // Case-sensitive file systems hold both names as different directories.
  std::string upper = install_dir_;
  upper.replace(upper.rfind("VelmoQen"), 8, "VELMOQEN");
  write_manifest(upper, path_join(upper, kMainProgramFileName), "1.4.0");
  EXPECT_FALSE(read_install_manifest(install_dir_).has_value());
}
#endif

class ManifestWriterTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-writer"};
  std::string manifest_path_ = dir_.join(kInstallManifestFileName);
};

TEST_F(ManifestWriterTest, OutputMatchesTheExpectedFileByteForByte) {
  const Status written =
      write_install_manifest(manifest_path_, "C:\\Program Files\\VelmoQen工作台",
                             "C:\\Program Files\\VelmoQen工作台\\VelmoQen工作台.exe", "1.10.0",
                             [] { return Result<uint64_t>(1765000000); });
  ASSERT_TRUE(written.has_value()) << written.error();
  EXPECT_EQ(test::read_file(manifest_path_),
            test::read_file(test::test_data_path("install-manifest-expected.json")));
}

TEST_F(ManifestWriterTest, RecordsTheSystemTime) {
  const auto seconds = [] {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  };
  const int64_t before = seconds();
  ASSERT_TRUE(
      write_install_manifest(manifest_path_, "D:\\x", "D:\\x\\VelmoQen工作台.exe", "1.0.0"));
  const int64_t after = seconds();
  const auto written = nlohmann::json::parse(test::read_file(manifest_path_));
  const int64_t at = written.at("installedAtUnix").get<int64_t>();
  EXPECT_GE(at, before);
  EXPECT_LE(at, after);
}

TEST_F(ManifestWriterTest, NeverReplacesAnExistingManifest) {
  test::write_file(manifest_path_, "old manifest");
  const Status written =
      write_install_manifest(manifest_path_, "D:\\x", "D:\\x\\VelmoQen工作台.exe", "1.0.0");
  ASSERT_FALSE(written.has_value());
#ifdef _WIN32
  const char* code = "(os error 80)";  // ERROR_FILE_EXISTS
#else
  const char* code = "(os error 17)";  // EEXIST
#endif
  EXPECT_TRUE(written.error().starts_with("创建安装清单失败：")) << written.error();
  EXPECT_TRUE(written.error().ends_with(code)) << written.error();
  EXPECT_EQ(test::read_file(manifest_path_), "old manifest");
}

TEST_F(ManifestWriterTest, ClockBefore1970FailsWithItsMessageAndWritesNothing) {
  const Status written = write_install_manifest(manifest_path_, "D:\\x", "D:\\x\\a.exe", "1.0.0",
                                                [] { return Result<uint64_t>(fail("clock")); });
  EXPECT_EQ(written.error(), "clock");
  EXPECT_FALSE(path_exists(manifest_path_));
}

TEST_F(ManifestWriterTest, DamagedUtf8InAPathIsReplacedNotFatal) {
  const Result<std::string> text =
      serialize_install_manifest("D:\\\xFF", "D:\\\xFF\\VelmoQen工作台.exe", "1.0.0", 0);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(text->find("D:\\\\\xEF\xBF\xBD"), std::string::npos) << *text;
}

}  // namespace
}  // namespace velmo
