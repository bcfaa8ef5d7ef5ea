#include "app/webview2_bootstrapper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mutation_recorder.h"
#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "platform/sha256.h"
#include "platform/windows_path.h"
#include "product_files/webview2_bootstrapper_pin.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

// A carried file of our own: some bytes and their digest.
class CarriedBytes {
 public:
  explicit CarriedBytes(std::string content) : content_(std::move(content)) {
    sha256_ = digest_to_hex(sha256_of(std::as_bytes(std::span(content_))).value());
  }
  CarriedFile file() const {
    return CarriedFile{
        std::span(reinterpret_cast<const uint8_t*>(content_.data()), content_.size()), sha256_};
  }
  CarriedFile with_digest(std::string_view sha256) const {
    CarriedFile carried = file();
    carried.sha256 = sha256;
    return carried;
  }
  const std::string& content() const { return content_; }
  const std::string& sha256() const { return sha256_; }

 private:
  std::string content_;
  std::string sha256_;
};

class BootstrapperWriteOutTest : public ::testing::Test {
 protected:
  std::string final_path() const { return dir_.join(kBootstrapperFileName); }
  std::string partial_path() const { return dir_.join(bootstrapper_partial_name()); }

  test::TempDir dir_;
  CarriedBytes carried_{std::string(5000, 'b') + "bootstrapper"};
};

TEST_F(BootstrapperWriteOutTest, WritesVerifiedFileUnderItsFinalName) {
  EXPECT_EQ(bootstrapper_partial_name(), "MicrosoftEdgeWebview2Setup.exe.part");
  const Result<std::string> path = write_out_bootstrapper(carried_.file(), dir_.path());
  ASSERT_TRUE(path.has_value()) << path.error();
  EXPECT_EQ(*path, final_path());
  EXPECT_EQ(test::read_file(final_path()), carried_.content());
  EXPECT_FALSE(path_exists(partial_path()));
}

TEST_F(BootstrapperWriteOutTest, ReplacesLeftoversAndAnOlderCopy) {
  test::write_file(partial_path(), "half a bootstrapper from an interrupted run");
  test::write_file(final_path(), "an older bootstrapper");
  ASSERT_TRUE(write_out_bootstrapper(carried_.file(), dir_.path()).has_value());
  EXPECT_EQ(test::read_file(final_path()), carried_.content());
  EXPECT_FALSE(path_exists(partial_path()));
}

TEST_F(BootstrapperWriteOutTest, WrongCarriedDigestWritesNothing) {
  const std::string other(64, 'A');
  const Result<std::string> path = write_out_bootstrapper(carried_.with_digest(other), dir_.path());
  ASSERT_FALSE(path.has_value());
  EXPECT_EQ(path.error(), "内置的微软 WebView2 Evergreen 引导器校验失败，已停止安装。");
  EXPECT_FALSE(path_exists(final_path()));
  EXPECT_FALSE(path_exists(partial_path()));
}

// The carried digest is ours and upper case; a lower-case pin would mean the
// build pinned something else.
TEST_F(BootstrapperWriteOutTest, CarriedDigestComparisonIsExact) {
  std::string lower = carried_.sha256();
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_FALSE(write_out_bootstrapper(carried_.with_digest(lower), dir_.path()).has_value());
}

TEST_F(BootstrapperWriteOutTest, EachFailingStepGivesItsMessage) {
  struct Case {
    Mutation kind;
    bool on_partial;  // else the change has no path (write, flush)
    const char* phrase;
  };
  const Case cases[] = {
      {Mutation::kRemoveFile, true, "清理 WebView2 临时文件失败："},
      {Mutation::kCreateFile, true, "创建 WebView2 引导器缓存失败："},
      {Mutation::kWrite, false, "写入 WebView2 引导器失败："},
      {Mutation::kFlush, false, "保存 WebView2 引导器失败："},
      {Mutation::kRename, true, "保存下载文件失败："},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phrase);
    test::write_file(partial_path(), "leftover");
    test::write_file(final_path(), "older copy");
    test::ScopedMutationRecorder recorder;
    recorder.fail(c.kind, c.on_partial ? partial_path() : "");
    const Result<std::string> path = write_out_bootstrapper(carried_.file(), dir_.path());
    ASSERT_FALSE(path.has_value());
    EXPECT_TRUE(path.error().starts_with(c.phrase)) << path.error();
    EXPECT_NE(path.error().find("injected"), std::string::npos) << path.error();
    // Whatever failed, nothing unverified sits under the final name.
    const std::string at_final = path_exists(final_path()) ? test::read_file(final_path()) : "";
    EXPECT_TRUE(at_final == "older copy" || at_final.empty()) << at_final;
  }
}

// The file is hashed again from the disk: a change between writing and
// checking is caught, and the damaged copy is deleted, never renamed.
TEST_F(BootstrapperWriteOutTest, DamageAfterWritingIsCaught) {
  test::ScopedMutationRecorder recorder;
  recorder.before(Mutation::kFlush, "", [this] {
    OsResult<File> other = File::open_append(partial_path());
    ASSERT_TRUE(other.has_value());
    ASSERT_TRUE(other->write_all(std::as_bytes(std::span("x", 1))));
  });
  const Result<std::string> path = write_out_bootstrapper(carried_.file(), dir_.path());
  ASSERT_FALSE(path.has_value());
  EXPECT_EQ(path.error(), "WebView2 Evergreen 引导器 SHA256 校验失败，文件不会执行。");
  EXPECT_FALSE(path_exists(partial_path()));
  EXPECT_FALSE(path_exists(final_path()));
}

#ifndef _WIN32
// A link planted under the temporary name is removed, and what it points at
// is never written through.
TEST_F(BootstrapperWriteOutTest, LinkUnderTemporaryNameIsNotFollowed) {
  const std::string victim = dir_.join("victim.txt");
  test::write_file(victim, "not ours");
  ASSERT_EQ(::symlink(victim.c_str(), partial_path().c_str()), 0);
  ASSERT_TRUE(write_out_bootstrapper(carried_.file(), dir_.path()).has_value());
  EXPECT_EQ(test::read_file(victim), "not ours");
  EXPECT_EQ(test::read_file(final_path()), carried_.content());
}
#endif

TEST_F(BootstrapperWriteOutTest, DirectoryUnderFinalNameFails) {
  ASSERT_TRUE(create_directories(final_path()).has_value());
  const Result<std::string> path = write_out_bootstrapper(carried_.file(), dir_.path());
  ASSERT_FALSE(path.has_value());
  EXPECT_TRUE(path.error().starts_with("替换旧下载文件失败：")) << path.error();
}

// What this build carries matches the pin that detection uses too.
TEST_F(BootstrapperWriteOutTest, CarriedBootstrapperMatchesThePin) {
  const CarriedFile carried = carried_webview2_bootstrapper();
  EXPECT_EQ(carried.bytes.size(), kBootstrapperBytes);
  EXPECT_EQ(carried.sha256, kBootstrapperSha256);
  ASSERT_TRUE(write_out_bootstrapper(carried, dir_.path()).has_value());
  EXPECT_EQ(sha256_file(final_path()).value(), kBootstrapperSha256);
}

struct RecordedRun {
  int calls = 0;
  std::string program;
  std::vector<std::string> arguments;
  std::string working_directory;
  // What the installer's folder held, and its content, while it ran.
  std::vector<std::string> folder_names;
  std::string content;
};

ProcessRunner recording_runner(RecordedRun& record, int32_t exit_code) {
  return [&record, exit_code](const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& working_directory) -> OsResult<int32_t> {
    ++record.calls;
    record.program = program;
    record.arguments = arguments;
    record.working_directory = working_directory;
    record.folder_names = directory_names(parent_path(program).value_or(""));
    record.content = test::read_file(program);
    return exit_code;
  };
}

// The installer runs from a folder made for the run: DLLs planted beside
// the cached copy (the folder it loads from first) are not there.
TEST_F(BootstrapperWriteOutTest, RunsTheVerifiedFileSilentlyFromAFreshFolder) {
  const std::string path = write_out_bootstrapper(carried_.file(), dir_.path()).value();
  test::write_file(dir_.join("version.dll"), "planted");
  RecordedRun record;
  ASSERT_TRUE(run_written_bootstrapper(path, carried_.sha256(), recording_runner(record, 3010)));
  EXPECT_EQ(record.calls, 1);
  EXPECT_EQ(record.arguments, (std::vector<std::string>{"/silent", "/install"}));
  const std::optional<std::string> folder = parent_path(record.program);
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(parent_path(*folder), dir_.path());
  EXPECT_TRUE(folder->substr(dir_.path().size() + 1).starts_with("webview2-run-")) << *folder;
  EXPECT_EQ(record.working_directory, *folder) << "it starts in its own folder, not in ours";
  EXPECT_EQ(record.folder_names, std::vector<std::string>{kBootstrapperFileName});
  EXPECT_EQ(record.content, carried_.content());
  EXPECT_FALSE(path_exists(*folder)) << "the run folder stays after the run";
  EXPECT_TRUE(path_exists(path)) << "the cached copy is kept for the next run";
}

TEST_F(BootstrapperWriteOutTest, RunFolderThatCannotBeMadeStartsNothing) {
  const std::string path = write_out_bootstrapper(carried_.file(), dir_.path()).value();
  RecordedRun record;
  // The run folder's name is made at run time: every folder creation fails.
  struct FailAll {
    static std::optional<OsError> hook(Mutation kind, const std::string&) {
      return kind == Mutation::kCreateDirectory ? std::optional(OsError{5, "injected"})
                                                : std::nullopt;
    }
  };
  {
    const ScopedMutationHook hook(&FailAll::hook);
    const Status ran =
        run_written_bootstrapper(path, carried_.sha256(), recording_runner(record, 0));
    ASSERT_FALSE(ran.has_value());
    EXPECT_EQ(ran.error(), "创建下载目录失败：injected (os error 5)");
  }
  EXPECT_EQ(record.calls, 0);
}

TEST_F(BootstrapperWriteOutTest, FileChangedBeforeTheRunIsNeverStarted) {
  const std::string path = write_out_bootstrapper(carried_.file(), dir_.path()).value();
  test::write_file(path, "swapped while the workbench was downloading");
  RecordedRun record;
  const Status ran = run_written_bootstrapper(path, carried_.sha256(), recording_runner(record, 0));
  ASSERT_FALSE(ran.has_value());
  EXPECT_EQ(ran.error(), "WebView2 Evergreen 引导器 SHA256 校验失败，文件不会执行。");
  EXPECT_EQ(record.calls, 0);
}

TEST_F(BootstrapperWriteOutTest, MissingFileIsNeverStarted) {
  RecordedRun record;
  const Status ran =
      run_written_bootstrapper(final_path(), carried_.sha256(), recording_runner(record, 0));
  ASSERT_FALSE(ran.has_value());
  EXPECT_TRUE(ran.error().starts_with("读取校验文件失败：")) << ran.error();
  EXPECT_EQ(record.calls, 0);
}

TEST_F(BootstrapperWriteOutTest, FailingExitCodeIsTheInstallerFailure) {
  const std::string path = write_out_bootstrapper(carried_.file(), dir_.path()).value();
  RecordedRun record;
  const Status ran = run_written_bootstrapper(path, carried_.sha256(), recording_runner(record, 1));
  ASSERT_FALSE(ran.has_value());
  EXPECT_EQ(ran.error(), "安装程序执行失败，错误码 1。");
}

}  // namespace
}  // namespace velmo
