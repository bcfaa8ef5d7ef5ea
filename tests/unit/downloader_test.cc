#include "network/downloader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "environment/data_directory.h"
#include "fake_http.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/object_security.h"
#include "platform/sha256.h"
#include "test_env.h"

namespace velmo {
namespace {

namespace fs = std::filesystem;

std::string digest_of(const std::string& content) {
  return digest_to_hex(sha256_of(std::as_bytes(std::span(content.data(), content.size()))).value());
}

std::string lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

class DownloaderTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("velmo-dl-" + std::to_string(std::random_device{}()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    content_.resize(1000);
    std::mt19937 random(3);
    for (char& c : content_) {
      c = static_cast<char>(random());
    }
    item_ = DownloadItem{"pkg.package", "https://localhost/files/pkg.package", digest_of(content_),
                         content_.size()};
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string final_path() const { return path("pkg.package"); }
  std::string partial_path() const { return path("pkg.partial"); }

  void write(const std::string& file, const std::string& data) {
    std::ofstream(file, std::ios::binary)
        .write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  std::string read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  Result<std::string> download() {
    progress_.clear();
    return download_file(
        item_, dir_.string(), [this](uint64_t n) { progress_.push_back(n); }, http_.opener(),
        [this] { return now_; });
  }

  // Replaces the fixture's file by `size` bytes of other content.
  void use_content(size_t size) {
    content_.resize(size);
    std::mt19937 random(5);
    for (char& c : content_) {
      c = static_cast<char>(random());
    }
    item_.sha256 = digest_of(content_);
    item_.bytes = size;
  }

  // Moves the fixture's clock by `step` before each read of the answer.
  std::function<void()> clock_step(std::chrono::seconds step) {
    return [this, step] { now_ += step; };
  }

  fs::path dir_;
  std::string content_;
  DownloadItem item_;
  test::FakeHttp http_;
  std::vector<uint64_t> progress_;
  std::chrono::steady_clock::time_point now_;
};

TEST_F(DownloaderTest, FreshDownloadIsVerifiedAndGetsItsFinalName) {
  http_.answer({.status = 200, .body = content_, .chunk = 300});
  auto result = download();
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_EQ(*result, final_path());
  EXPECT_EQ(read(final_path()), content_);
  EXPECT_FALSE(fs::exists(partial_path()));
  ASSERT_EQ(http_.requests().size(), 1u);
  EXPECT_EQ(http_.requests()[0].verb, "GET");
  EXPECT_EQ(http_.requests()[0].host, "localhost");
  EXPECT_EQ(http_.requests()[0].port, 443);
  EXPECT_TRUE(http_.requests()[0].secure);
  EXPECT_EQ(http_.requests()[0].path, "/files/pkg.package");
  EXPECT_FALSE(http_.requests()[0].range_offset.has_value());
  EXPECT_EQ(http_.requests()[0].timeouts.receive, 120000u);
  EXPECT_EQ(progress_, (std::vector<uint64_t>{0, 300, 600, 900, 1000, 1000}));
}

TEST_F(DownloaderTest, VerifiedFinalFileIsReusedWithoutNetwork) {
  write(final_path(), content_);
  item_.sha256 = lower(item_.sha256);
  auto result = download();
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_TRUE(http_.requests().empty());
  EXPECT_EQ(progress_, std::vector<uint64_t>{1000});
}

TEST_F(DownloaderTest, FinalFileWithWrongDigestIsReplacedAfterVerifiedDownload) {
  std::string stale = content_;
  stale[10] ^= 1;
  write(final_path(), stale);
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_EQ(read(final_path()), content_);
  EXPECT_EQ(http_.requests().size(), 1u);
}

TEST_F(DownloaderTest, CompleteSideFileWithRightDigestIsMovedWithoutNetwork) {
  write(partial_path(), content_);
  auto result = download();
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_TRUE(http_.requests().empty());
  EXPECT_EQ(read(final_path()), content_);
  EXPECT_FALSE(fs::exists(partial_path()));
  EXPECT_EQ(progress_, std::vector<uint64_t>{1000});
}

TEST_F(DownloaderTest, CompleteSideFileWithWrongDigestIsDeletedAndFetchedFromZero) {
  std::string wrong = content_ + "trailing bytes of another package";
  write(partial_path(), wrong);
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  ASSERT_EQ(http_.requests().size(), 1u);
  EXPECT_FALSE(http_.requests()[0].range_offset.has_value());
  EXPECT_EQ(read(final_path()), content_);
}

TEST_F(DownloaderTest, PartialFileResumesWithRangeAnd206Appends) {
  write(partial_path(), content_.substr(0, 400));
  http_.answer({.status = 206, .body = content_.substr(400), .chunk = 250});
  auto result = download();
  ASSERT_TRUE(result.has_value()) << result.error();
  ASSERT_EQ(http_.requests().size(), 1u);
  EXPECT_EQ(http_.requests()[0].range_offset, 400u);
  EXPECT_EQ(read(final_path()), content_);
  EXPECT_EQ(progress_, (std::vector<uint64_t>{400, 650, 900, 1000, 1000}));
}

TEST_F(DownloaderTest, ServerIgnoringRangeRestartsTheFileFromZero) {
  write(partial_path(), content_.substr(0, 400));
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_EQ(http_.requests()[0].range_offset, 400u);
  EXPECT_EQ(read(final_path()), content_);
  EXPECT_EQ(progress_.front(), 0u);
}

TEST_F(DownloaderTest, Status206WithoutRangeRequestCreatesTheFile) {
  http_.answer({.status = 206, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_EQ(read(final_path()), content_);
}

struct StatusCase {
  uint32_t status;
  const char* message;
};

class DownloaderStatusTest : public DownloaderTest,
                             public testing::WithParamInterface<StatusCase> {};

TEST_P(DownloaderStatusTest, OtherStatusesFailAndLeaveThePartialFile) {
  write(partial_path(), content_.substr(0, 400));
  http_.answer({.status = GetParam().status, .body = "error page"});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), GetParam().message);
  EXPECT_EQ(read(partial_path()), content_.substr(0, 400));
  EXPECT_FALSE(fs::exists(final_path()));
}

INSTANTIATE_TEST_SUITE_P(Table,
                         DownloaderStatusTest,
                         testing::Values(StatusCase{404, "下载服务器返回 HTTP 404。"},
                                         StatusCase{416, "下载服务器返回 HTTP 416。"},
                                         StatusCase{204, "下载服务器返回 HTTP 204。"},
                                         StatusCase{500, "下载服务器返回 HTTP 500。"}));

TEST_F(DownloaderTest, ShortBodyFailsThenNextAttemptResumes) {
  http_.answer({.status = 200, .body = content_.substr(0, 999), .chunk = 500});
  auto first = download();
  ASSERT_FALSE(first.has_value());
  EXPECT_EQ(first.error(), "pkg.package 下载不完整：应为 1000 字节，实际 999 字节。");
  EXPECT_EQ(read(partial_path()).size(), 999u);

  http_.answer({.status = 206, .body = content_.substr(999), .chunk = 500});
  auto second = download();
  ASSERT_TRUE(second.has_value()) << second.error();
  EXPECT_EQ(http_.requests().back().range_offset, 999u);
  EXPECT_EQ(read(final_path()), content_);
}

TEST_F(DownloaderTest, FlippedByteFailsThenNextAttemptDeletesAndStartsOver) {
  std::string flipped = content_;
  flipped[500] ^= 0x40;
  http_.answer({.status = 200, .body = flipped, .chunk = 1000});
  auto first = download();
  ASSERT_FALSE(first.has_value());
  EXPECT_EQ(first.error(), "pkg.package 校验失败，已停止继续处理。");
  EXPECT_EQ(read(partial_path()), flipped);
  EXPECT_FALSE(fs::exists(final_path()));

  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_FALSE(http_.requests().back().range_offset.has_value());
  EXPECT_EQ(read(final_path()), content_);
}

TEST_F(DownloaderTest, LongerBodyReportsTheActualSize) {
  http_.answer({.status = 200, .body = content_ + "xyz", .chunk = 1003});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "pkg.package 下载不完整：应为 1000 字节，实际 1003 字节。");
  // Progress never reports more than the expected size.
  EXPECT_EQ(progress_.back(), 1000u);
}

// A server that sends more than announced is cut off at the expected size:
// the side file never grows past it, the rest of the body is not read, and
// the cut file stays only when it is the right file.
struct OversizedCase {
  std::string name;
  std::string resumed;  // side file present before the attempt
  uint32_t status;
  std::string body;  // "{content}" stands for the fixture's content from the resume point
  size_t chunk;
  std::string message;
  bool partial_kept;
};

class DownloaderOversizedTest : public DownloaderTest,
                                public testing::WithParamInterface<OversizedCase> {};

TEST_P(DownloaderOversizedTest, SideFileNeverGrowsPastTheExpectedSize) {
  const OversizedCase& c = GetParam();
  if (!c.resumed.empty()) {
    write(partial_path(), c.resumed == "{prefix}" ? content_.substr(0, 400) : c.resumed);
  }
  const size_t resumed = fs::exists(partial_path()) ? fs::file_size(partial_path()) : 0;
  std::string body = c.body;
  if (const size_t at = body.find("{content}"); at != std::string::npos) {
    body.replace(at, 9, content_.substr(c.status == 206 ? resumed : 0));
  }
  uintmax_t largest = 0;
  http_.answer({.status = c.status, .body = body, .chunk = c.chunk, .before_read = [&] {
                  if (fs::exists(partial_path())) {
                    largest = std::max(largest, fs::file_size(partial_path()));
                  }
                }});

  auto result = download();

  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), c.message);
  EXPECT_LE(largest, 1000u);
  EXPECT_LT(http_.bytes_sent(), body.size()) << "the body was read to its end";
  EXPECT_FALSE(fs::exists(final_path()));
  if (c.partial_kept) {
    EXPECT_EQ(read(partial_path()), content_);
  } else {
    EXPECT_FALSE(fs::exists(partial_path()));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table,
    DownloaderOversizedTest,
    testing::Values(
        OversizedCase{"RightFileThenJunkInOneRead", "", 200, "{content}" + std::string(3000, 'x'),
                      1003, "pkg.package 下载不完整：应为 1000 字节，实际 1003 字节。", true},
        OversizedCase{"RightFileThenJunkInLaterReads", "", 200,
                      "{content}" + std::string(7000, 'x'), 1000,
                      "pkg.package 下载不完整：应为 1000 字节，实际 2000 字节。", true},
        OversizedCase{"EightTimesTheSizeOfJunk", "", 200, std::string(8000, 'j'), 300,
                      "pkg.package 下载不完整：应为 1000 字节，实际 1200 字节。", false},
        OversizedCase{"ResumedThenTooLong", "{prefix}", 206, "{content}" + std::string(500, 'x'),
                      250, "pkg.package 下载不完整：应为 1000 字节，实际 1150 字节。", true},
        OversizedCase{"ResumedPrefixOfAnotherFile", "another file's first bytes", 206,
                      std::string(2000, 'y'), 700,
                      "pkg.package 下载不完整：应为 1000 字节，实际 1426 字节。", false}),
    [](const testing::TestParamInfo<OversizedCase>& info) { return info.param.name; });

// A server that keeps the connection but sends next to nothing never trips
// the receive time-out; the transfer must still end, keeping what arrived.
struct TrickleCase {
  std::string name;
  size_t chunk;
  int seconds_per_read;
  bool completes;
};

class DownloaderTrickleTest : public DownloaderTest,
                              public testing::WithParamInterface<TrickleCase> {};

TEST_P(DownloaderTrickleTest, FewerThan64KiBIn120SecondsEndsTheTransfer) {
  const TrickleCase& c = GetParam();
  use_content(200 * 1024);
  http_.answer({.status = 200,
                .body = content_,
                .chunk = c.chunk,
                .before_read = clock_step(std::chrono::seconds(c.seconds_per_read))});

  auto result = download();

  if (c.completes) {
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_EQ(read(final_path()), content_);
    return;
  }
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "下载数据失败，错误码 12002。");
  // What arrived stays for a resume: the reads of one window.
  const size_t reads_in_window = 120 / c.seconds_per_read;
  EXPECT_EQ(read(partial_path()), content_.substr(0, reads_in_window * c.chunk));
}

INSTANTIATE_TEST_SUITE_P(Table,
                         DownloaderTrickleTest,
                         testing::Values(TrickleCase{"OneBytePerSecond", 1, 1, false},
                                         TrickleCase{"Exactly64KiBPerWindow", 8192, 15, true},
                                         TrickleCase{"EightBytesShortPerWindow", 8191, 15, false},
                                         TrickleCase{"FastServer", 65536, 0, true},
                                         TrickleCase{"SlowButSteady", 4096, 5, true}),
                         [](const testing::TestParamInfo<TrickleCase>& info) {
                           return info.param.name;
                         });

TEST_F(DownloaderTest, TrickleAfterAGoodStartStillEndsTheTransfer) {
  use_content(200 * 1024);
  // A fast first window, then one byte a second.
  int reads = 0;
  http_.answer({.status = 200, .body = content_, .chunk = 1, .before_read = [&] {
                  now_ += std::chrono::seconds(++reads > 65536 ? 1 : 0);
                }});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "下载数据失败，错误码 12002。");
  EXPECT_EQ(fs::file_size(partial_path()), 65536u + 120u);
}

std::string g_foreign_path;
std::optional<ObjectSecurity> foreign_owned(const std::string& path) {
  if (path != g_foreign_path) {
    return std::nullopt;
  }
  return ObjectSecurity{.owner_sid = "S-1-5-21-7-7-7-1001", .protected_dacl = true};
}

// Files another account owns were put in the download folder before it was
// protected: they are never resumed, reused or appended to.
TEST_F(DownloaderTest, ForeignSideFileIsDeletedAndTheDownloadStartsOver) {
  write(partial_path(), content_.substr(0, 400));
  g_foreign_path = partial_path();
  const ScopedObjectSecurityProbe probe(foreign_owned);
  http_.answer({.status = 200, .body = content_, .chunk = 1000});

  auto result = download();

  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_FALSE(http_.requests().back().range_offset.has_value());
  EXPECT_EQ(read(final_path()), content_);
}

TEST_F(DownloaderTest, ForeignCompleteSideFileIsNotMovedToTheFinalName) {
  write(partial_path(), content_);
  g_foreign_path = partial_path();
  const ScopedObjectSecurityProbe probe(foreign_owned);
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_EQ(http_.requests().size(), 1u) << "the planted side file was used";
}

TEST_F(DownloaderTest, ForeignFinalFileIsNotReusedButReplacedAfterADownload) {
  write(final_path(), content_);
  g_foreign_path = final_path();
  const ScopedObjectSecurityProbe probe(foreign_owned);
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_EQ(http_.requests().size(), 1u) << "the planted final file was reused";
  EXPECT_EQ(read(final_path()), content_);
}

#ifndef _WIN32
TEST_F(DownloaderTest, LinkUnderTheSideFileNameIsRemovedNotWrittenThrough) {
  const std::string victim = path("victim.txt");
  write(victim, "keep me");
  fs::create_symlink(victim, partial_path());
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  ASSERT_TRUE(download().has_value());
  EXPECT_FALSE(http_.requests().back().range_offset.has_value());
  EXPECT_EQ(read(victim), "keep me");
  EXPECT_EQ(read(final_path()), content_);
}
#endif

#ifdef _WIN32
// The digest is taken from the bytes as they are written, so from its
// opening to its rename nobody else may change the side file.
TEST_F(DownloaderTest, SideFileIsHeldAgainstWritersAndDeletersUntilItsRename) {
  http_.answer({.status = 200, .body = content_, .chunk = 300});
  int attempts = 0;
  int refused = 0;
  auto result = download_file(
      item_, dir_.string(),
      [&](uint64_t present) {
        if (present == 0 || present == item_.bytes || !fs::exists(partial_path())) {
          return;
        }
        ++attempts;
        const bool write_refused = !File::open_append(partial_path()).has_value();
        const bool delete_refused = !remove_file(partial_path()).has_value();
        refused += write_refused && delete_refused ? 1 : 0;
      },
      http_.opener(), [this] { return now_; });
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_GT(attempts, 0);
  EXPECT_EQ(refused, attempts);
  EXPECT_EQ(read(final_path()), content_);
}
#endif

TEST_F(DownloaderTest, TransportFailureIsPassedOnUnchanged) {
  write(partial_path(), content_.substr(0, 10));
  http_.answer({.open_error = "发送下载请求失败，错误码 12029。"});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "发送下载请求失败，错误码 12029。");
  EXPECT_EQ(read(partial_path()), content_.substr(0, 10));
}

TEST_F(DownloaderTest, ReadFailureKeepsWhatArrivedForTheNextAttempt) {
  http_.answer({.status = 200, .body = content_, .chunk = 100, .read_error_after = 300});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "下载数据失败，错误码 12030。");
  EXPECT_EQ(read(partial_path()), content_.substr(0, 300));
}

TEST_F(DownloaderTest, UnreplaceableFinalFileKeepsThePartial) {
  // A directory under the final name cannot be deleted as a file.
  fs::create_directories(final_path());
  http_.answer({.status = 200, .body = content_, .chunk = 1000});
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_TRUE(result.error().starts_with("替换旧下载文件失败：")) << result.error();
  EXPECT_EQ(read(partial_path()), content_);
}

TEST_F(DownloaderTest, InvalidUrlFailsBeforeAnyRequest) {
  item_.url = "ftp://localhost/pkg.package";
  auto result = download();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error(), "下载地址必须是 HTTP 或 HTTPS。");
  EXPECT_TRUE(http_.requests().empty());
}

TEST_F(DownloaderTest, FileNamesThatLeaveTheDirectoryAreRefused) {
  for (const char* name : {"../evil.exe", "..\\evil.exe", "a/b", "C:evil", "..", "."}) {
    item_.file_name = name;
    auto result = download();
    ASSERT_FALSE(result.has_value()) << name;
    EXPECT_EQ(result.error(), std::string("下载文件名无效：") + name);
  }
  EXPECT_TRUE(http_.requests().empty());
}

struct PartialNameCase {
  std::string name;
  std::string partial;
};

class PartialFileNameTest : public testing::TestWithParam<PartialNameCase> {};

TEST_P(PartialFileNameTest, ReplacesTheLastExtension) {
  EXPECT_EQ(partial_file_name(GetParam().name), GetParam().partial);
}

INSTANTIATE_TEST_SUITE_P(Table,
                         PartialFileNameTest,
                         testing::Values(PartialNameCase{"VelmoQenWorkbench-Update-v1.2.3.package",
                                                         "VelmoQenWorkbench-Update-v1.2.3.partial"},
                                         PartialNameCase{"windows10.0-kb4490628-x64.msu",
                                                         "windows10.0-kb4490628-x64.partial"},
                                         PartialNameCase{"noextension", "noextension.partial"},
                                         PartialNameCase{".hidden", ".hidden.partial"},
                                         PartialNameCase{"a.b.c", "a.b.partial"},
                                         PartialNameCase{"a.", "a.partial"}));

TEST(DownloadDirectoryTest, FollowsProgramDataAndIsCreated) {
  const fs::path root =
      fs::temp_directory_path() / ("velmo-pd-" + std::to_string(std::random_device{}()));
  Result<std::string> directory = [&] {
    test::ScopedEnv program_data("ProgramData", root.string());
    return download_directory();
  }();
  ASSERT_TRUE(directory.has_value()) << directory.error();
  EXPECT_EQ(*directory, (root / "VelmoInstaller" / "downloads").string());
  EXPECT_TRUE(fs::is_directory(*directory));
  fs::remove_all(root);
}

}  // namespace
}  // namespace velmo
