#include "product_install/desktop_shortcut.h"

#include <gtest/gtest.h>

#include <ostream>

#include "fake_launcher_platform.h"
#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "product_install/desktop_folder.h"
#include "product_install/hide_path.h"
#include "product_install/hresult_text.h"
#include "product_install/shortcut_run_as_user.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

std::string bytes_with(size_t size, size_t at, uint8_t value) {
  std::string bytes(size, '\x5A');
  if (at < size) {
    bytes[at] = static_cast<char>(value);
  }
  return bytes;
}

struct FlagCase {
  const char* name;
  std::string before;
  bool accepted;
  std::string after;  // when accepted
};

const FlagCase kFlagCases[] = {
    {"Empty", "", false, ""},
    {"EndsBeforeTheFlagsByte", bytes_with(21, 20, 0x00), false, ""},
    {"FlagsByteIsTheLast", bytes_with(22, 21, 0x00), true, bytes_with(22, 21, 0x20)},
    {"BitSetOthersKept", bytes_with(76, 21, 0x5F), true, bytes_with(76, 21, 0x7F)},
    {"BitAlreadySet", bytes_with(76, 21, 0x20), true, bytes_with(76, 21, 0x20)},
    {"AllBitsSet", bytes_with(76, 21, 0xFF), true, bytes_with(76, 21, 0xFF)},
    {"ZeroByteInTheMiddle", bytes_with(300, 21, 0x00), true, bytes_with(300, 21, 0x20)},
};

void PrintTo(const FlagCase& c, std::ostream* os) {
  *os << c.name;
}

class RunAsUserFlagTest : public testing::TestWithParam<FlagCase> {};

TEST_P(RunAsUserFlagTest, SetsOnlyTheOneBit) {
  const FlagCase& c = GetParam();
  std::string bytes = c.before;
  const Status marked = set_run_as_user_flag(bytes);
  if (!c.accepted) {
    ASSERT_FALSE(marked.has_value());
    EXPECT_EQ(marked.error(), "桌面启动入口文件不完整。");
    EXPECT_EQ(bytes, c.before);
    return;
  }
  ASSERT_TRUE(marked.has_value()) << marked.error();
  EXPECT_EQ(bytes, c.after);
}

INSTANTIATE_TEST_SUITE_P(Buffers,
                         RunAsUserFlagTest,
                         testing::ValuesIn(kFlagCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ShortcutFileTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-shortcut"};
  std::string link_ = dir_.join("Velmo Qen 工作台.lnk");
};

TEST_F(ShortcutFileTest, MarksTheSavedFileInPlace) {
  test::write_file(link_, bytes_with(76, 21, 0x01));
  ASSERT_TRUE(mark_shortcut_run_as_user(link_).has_value());
  EXPECT_EQ(test::read_file(link_), bytes_with(76, 21, 0x21));
}

TEST_F(ShortcutFileTest, FailuresLeaveTheFileAsItWas) {
  struct Case {
    const char* name;
    std::string content;
    std::optional<Mutation> fault;
    std::string message;
  };
  const Case cases[] = {
      {"Short", bytes_with(21, 0, 0x00), std::nullopt, "桌面启动入口文件不完整。"},
      {"NotWritable", bytes_with(76, 21, 0x00), Mutation::kCreateFile,
       "设置桌面启动入口权限失败：injected (os error 5)"},
  };
  for (const Case& c : cases) {
    test::write_file(link_, c.content);
    test::ScopedMutationRecorder recorder;
    if (c.fault) {
      recorder.fail(*c.fault, link_);
    }
    const Status marked = mark_shortcut_run_as_user(link_);
    ASSERT_FALSE(marked.has_value()) << c.name;
    EXPECT_EQ(marked.error(), c.message) << c.name;
    EXPECT_EQ(test::read_file(link_), c.content) << c.name;
  }
}

TEST_F(ShortcutFileTest, MissingFileCannotBeRead) {
  const Status marked = mark_shortcut_run_as_user(link_);
  ASSERT_FALSE(marked.has_value());
  EXPECT_TRUE(marked.error().starts_with("读取桌面启动入口失败：")) << marked.error();
  EXPECT_FALSE(path_exists(link_));
}

TEST(HresultTextTest, EightUpperCaseDigits) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0x00000000, "0x00000000"}, {0x00000001, "0x00000001"}, {0x80070002, "0x80070002"},
      {0x8000FFFF, "0x8000FFFF"}, {0xabcdef01, "0xABCDEF01"},
  };
  for (const auto& [hresult, text] : cases) {
    EXPECT_EQ(hresult_hex(hresult), text);
  }
  EXPECT_EQ(hresult_failure("设置启动参数失败", 0x80004005),
            "设置启动参数失败，错误码 0x80004005。");
}

TEST(ShellLinkFailureTest, EachStepHasItsMessage) {
  const std::pair<ShellLinkStep, const char*> cases[] = {
      {ShellLinkStep::kInitializeCom, "Windows 快捷方式服务初始化失败，错误码 0x80010106。"},
      {ShellLinkStep::kCreateObject, "Windows 快捷方式对象创建失败，错误码 0x80010106。"},
      {ShellLinkStep::kSetTarget, "设置启动程序失败，错误码 0x80010106。"},
      {ShellLinkStep::kSetArguments, "设置启动参数失败，错误码 0x80010106。"},
      {ShellLinkStep::kSetWorkingDirectory, "设置工作目录失败，错误码 0x80010106。"},
      {ShellLinkStep::kSetIcon, "设置快捷方式图标失败，错误码 0x80010106。"},
      {ShellLinkStep::kQuerySaveInterface, "快捷方式保存接口获取失败，错误码 0x80010106。"},
      {ShellLinkStep::kSave, "保存桌面快捷方式失败，错误码 0x80010106。"},
  };
  for (const auto& [step, message] : cases) {
    EXPECT_EQ(shell_link_failure_message({step, 0x80010106}), message);
  }
}

class DesktopFolderTest : public testing::Test {
 protected:
  DesktopFolderTest() {
    EXPECT_TRUE(create_directories(user_));
    EXPECT_TRUE(create_directories(public_));
  }

  test::TempDir dir_{"velmo-desktop"};
  std::string user_ = dir_.join("Desktop");
  std::string public_ = dir_.join("Public Desktop");
  std::string missing_ = dir_.join("Gone");
  test::FakeLauncherShell shell_{user_};
};

TEST_F(DesktopFolderTest, UserDesktopFirstThenPublic) {
  struct Case {
    const char* name;
    std::optional<std::string> user;
    std::optional<std::string> shared;
    std::string expected;  // the folder, or the message
    bool found;
  };
  const Case cases[] = {
      {"Both", user_, public_, user_, true},
      {"UserOnly", user_, std::nullopt, user_, true},
      {"UserNotFound", std::nullopt, public_, public_, true},
      {"UserMissingOnDisk", missing_, public_, public_, true},
      {"UserIsAFile", dir_.join("file"), public_, public_, true},
      {"Neither", std::nullopt, std::nullopt,
       "没有找到可用的桌面目录：没有找到当前用户桌面目录，错误码 0x80070002。；"
       "没有找到公共桌面目录，错误码 0x80070002。",
       false},
      {"NeitherUsable", missing_, missing_,
       "没有找到可用的桌面目录：当前用户桌面目录不可用。；公共桌面目录不可用。", false},
  };
  test::write_file(dir_.join("file"), "x");
  for (const Case& c : cases) {
    shell_.set_folder(KnownFolder::kDesktop, c.user);
    shell_.set_folder(KnownFolder::kPublicDesktop, c.shared);
    const Result<std::string> folder = find_desktop_folder(shell_.platform());
    EXPECT_EQ(folder.has_value(), c.found) << c.name;
    EXPECT_EQ(folder.has_value() ? *folder : folder.error(), c.expected) << c.name;
  }
}

#ifndef _WIN32
TEST_F(DesktopFolderTest, RedirectedDesktopIsFollowed) {
  const std::string link = dir_.join("Desktop link");
  ASSERT_EQ(::symlink(user_.c_str(), link.c_str()), 0);
  shell_.set_folder(KnownFolder::kDesktop, link);
  EXPECT_EQ(known_desktop_folder(KnownFolder::kDesktop, kUserDesktopLabel, shell_.platform()),
            link);
}
#endif

TEST_F(DesktopFolderTest, ShortcutGoesToTheChosenDesktop) {
  shell_.set_folder(KnownFolder::kDesktop, missing_);
  shell_.set_folder(KnownFolder::kPublicDesktop, public_);
  const Result<std::string> link =
      write_desktop_shortcut("D", "D/运行组件/L.exe", "D/main.exe", shell_.platform());
  ASSERT_TRUE(link.has_value()) << link.error();
  EXPECT_EQ(*link, path_join(public_, "Velmo Qen 工作台.lnk"));
  ASSERT_EQ(shell_.saved.size(), 1u);
  EXPECT_EQ(shell_.saved[0].second, *link);
  EXPECT_EQ(static_cast<uint8_t>(test::read_file(*link)[21]), 0x20);
}

TEST_F(DesktopFolderTest, NoShortcutWithoutADesktop) {
  shell_.set_folder(KnownFolder::kDesktop, std::nullopt);
  const Result<std::string> link =
      write_desktop_shortcut("D", "D/运行组件/L.exe", "D/main.exe", shell_.platform());
  ASSERT_FALSE(link.has_value());
  EXPECT_TRUE(link.error().starts_with("没有找到可用的桌面目录：")) << link.error();
  EXPECT_TRUE(shell_.saved.empty());
}

TEST(HidePathTest, RefusedChangeIsReported) {
  test::TempDir dir{"velmo-hide"};
  test::ScopedMutationRecorder recorder;
  recorder.fail(Mutation::kSetAttributes, dir.path());
  const Status hidden = hide_path(dir.path());
  ASSERT_FALSE(hidden.has_value());
  EXPECT_EQ(hidden.error(), "隐藏工作台运行组件失败：injected (os error 5)");
}

#ifndef _WIN32
// Stand-ins for attrib: its exit code and a failure to start are reported.
TEST(HidePathTest, ReportsHowTheProgramEnded) {
  test::TempDir dir{"velmo-hide"};
  struct Case {
    std::string program;
    bool hidden;
    std::string message_start;
  };
  const Case cases[] = {
      {"/bin/true", true, ""},
      {"/bin/false", false, "隐藏工作台运行组件失败，attrib 退出码：1"},
      {dir.join("missing-attrib"), false, "隐藏工作台运行组件失败：No such file"},
  };
  for (const Case& c : cases) {
    const Status hidden = hide_path_with(c.program, dir.path());
    ASSERT_EQ(hidden.has_value(), c.hidden) << c.program;
    if (!c.hidden) {
      EXPECT_TRUE(hidden.error().starts_with(c.message_start)) << hidden.error();
    }
  }
  // The real one: there is no attrib here.
  const Status real = hide_path(dir.path());
  ASSERT_FALSE(real.has_value());
  EXPECT_TRUE(real.error().starts_with("隐藏工作台运行组件失败：")) << real.error();
}

// The stand-in link writer lays out the fields as the shell would, so the
// flag patch that follows lands in a real header.
TEST(ShellLinkStandInTest, WritesAHeaderAndTheStrings) {
  test::TempDir dir{"velmo-link"};
  const std::string link = dir.join("a.lnk");
  ASSERT_TRUE(save_shell_link(desktop_shortcut_fields("/D", "/D/L.exe", "/D/main.exe"), link));
  const std::string bytes = test::read_file(link);
  ASSERT_GT(bytes.size(), 76u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x4C\0\0\0", 4));
  EXPECT_EQ(bytes.substr(4, 16), std::string("\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16));
  EXPECT_EQ(static_cast<uint8_t>(bytes[21]) & kRunAsUserBit, 0);
  const std::string arguments("\x0D\0-\0-\0l\0a\0u\0n\0c\0h\0-\0m\0a\0i\0n\0", 28);
  EXPECT_NE(bytes.find(arguments), std::string::npos);
  ASSERT_TRUE(mark_shortcut_run_as_user(link));
  EXPECT_EQ(static_cast<uint8_t>(test::read_file(link)[21]) & kRunAsUserBit, kRunAsUserBit);
}
#endif

}  // namespace
}  // namespace velmo
