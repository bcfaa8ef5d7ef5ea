#include "product_install/install_source.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "bundle_builder.h"
#include "mutation_recorder.h"
#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "product_install/bundle_reader.h"
#include "product_install/payload_cache.h"
#include "release_fixture.h"
#include "temp_dir.h"
#include "test_env.h"

#ifdef _WIN32
#include "platform/win/reparse_tag_seam.h"
#else
#include <unistd.h>
#endif

namespace velmo {
namespace {

using test::Bytes;

std::string as_text(const Bytes& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A payload in memory and the cache it is extracted to.
class PayloadCacheTest : public testing::Test {
 protected:
  PayloadCacheTest() {
    data_ = test::bytes_of("prefix MZ the main program's bytes, long enough to matter");
    payload_ = {7, data_.size() - 7, ""};
    payload_.sha256 = test::sha256_hex(Bytes(data_.begin() + 7, data_.end()));
    cache_ = path_join(path_join(dir_.path(), "embedded-core"), "core.exe");
  }

  Status extract(const Bytes& data) {
    MemoryBundleSource source(data);
    return extract_payload_to_cache(source, payload_, kMainProgramLabel, cache_);
  }

  std::string expected_content() const { return as_text(Bytes(data_.begin() + 7, data_.end())); }

  test::TempDir dir_{"velmo-cache"};
  Bytes data_;
  BundlePayload payload_;
  std::string cache_;
};

TEST_F(PayloadCacheTest, CopiesThePayloadAndLeavesNoPartFile) {
  ASSERT_TRUE(extract(data_));
  EXPECT_EQ(test::read_file(cache_), expected_content());
  EXPECT_FALSE(path_exists(cache_part_path(cache_)));
}

TEST_F(PayloadCacheTest, MatchingCacheIsReusedWithoutReadingTheInstaller) {
  ASSERT_TRUE(extract(data_));
  // The installer now holds other bytes: only a reuse can still succeed.
  Bytes changed = data_;
  changed[10] ^= std::byte{1};
  ASSERT_TRUE(extract(changed));
  EXPECT_EQ(test::read_file(cache_), expected_content());
}

TEST_F(PayloadCacheTest, StaleCacheAndLeftoverPartFileAreReplaced) {
  ASSERT_TRUE(create_directories(path_join(dir_.path(), "embedded-core")));
  test::write_file(cache_, "MZ an older program");
  test::write_file(cache_part_path(cache_), "half of something");
  ASSERT_TRUE(extract(data_));
  EXPECT_EQ(test::read_file(cache_), expected_content());
  EXPECT_FALSE(path_exists(cache_part_path(cache_)));
}

TEST_F(PayloadCacheTest, PayloadWithoutMzIsRefusedAndNothingIsLeft) {
  data_[7] = std::byte{'X'};
  payload_.sha256 = test::sha256_hex(Bytes(data_.begin() + 7, data_.end()));
  EXPECT_EQ(extract(data_).error(), "写入后的受保护主程序校验失败。");
  EXPECT_FALSE(path_exists(cache_));
  EXPECT_FALSE(path_exists(cache_part_path(cache_)));
}

// With no separate pass before it, the copy is the payload's proof: a
// wrong digest is the installer's fault, and the old cache stays as it was.
TEST_F(PayloadCacheTest, PayloadWithTheWrongDigestIsRefusedAndTheOldCacheKept) {
  ASSERT_TRUE(create_directories(path_join(dir_.path(), "embedded-core")));
  test::write_file(cache_, "MZ an older program");
  payload_.sha256[0] = payload_.sha256[0] == '0' ? '1' : '0';
  EXPECT_EQ(extract(data_).error(), "安装包中的受保护主程序校验失败。");
  EXPECT_EQ(test::read_file(cache_), "MZ an older program");
  EXPECT_FALSE(path_exists(cache_part_path(cache_)));
}

TEST_F(PayloadCacheTest, TellsWhetherTheCacheWasCopiedOrReused) {
  MemoryBundleSource source(data_);
  CacheFill fill = CacheFill::kReused;
  ASSERT_TRUE(extract_payload_to_cache(source, payload_, kMainProgramLabel, cache_, &fill));
  EXPECT_EQ(fill, CacheFill::kCopied);
  ASSERT_TRUE(extract_payload_to_cache(source, payload_, kMainProgramLabel, cache_, &fill));
  EXPECT_EQ(fill, CacheFill::kReused);
}

TEST_F(PayloadCacheTest, InstallerEndingEarlyFailsAndRemovesThePartFile) {
  const Bytes cut(data_.begin(), data_.end() - 5);
  const Status extracted = extract(cut);
  ASSERT_FALSE(extracted.has_value());
  EXPECT_TRUE(extracted.error().starts_with("读取受保护主程序失败：")) << extracted.error();
  EXPECT_FALSE(path_exists(cache_part_path(cache_)));
}

TEST_F(PayloadCacheTest, DirectoryAtTheCachePathIsRefused) {
  ASSERT_TRUE(create_directories(cache_));
  EXPECT_EQ(extract(data_).error(), "受保护主程序不是普通文件，已停止更新。");
}

TEST_F(PayloadCacheTest, DirectoryAtThePartPathIsRefused) {
  ASSERT_TRUE(create_directories(cache_part_path(cache_)));
  EXPECT_EQ(extract(data_).error(), "未完成的受保护主程序缓存不是普通文件，已停止更新。");
}

TEST_F(PayloadCacheTest, FileInPlaceOfTheCacheDirectoryFails) {
  test::write_file(path_join(dir_.path(), "embedded-core"), "not a folder");
  const Status extracted = extract(data_);
  ASSERT_FALSE(extracted.has_value());
  EXPECT_TRUE(extracted.error().starts_with("创建受保护主程序缓存目录失败：")) << extracted.error();
}

#ifndef _WIN32
TEST_F(PayloadCacheTest, LinksAtTheCachePathsAreRefusedAndNotWrittenThrough) {
  ASSERT_TRUE(create_directories(path_join(dir_.path(), "embedded-core")));
  const std::string victim = dir_.join("victim.exe");
  test::write_file(victim, "keep me");
  ASSERT_EQ(::symlink(victim.c_str(), cache_.c_str()), 0);
  EXPECT_EQ(extract(data_).error(), "受保护主程序不是普通文件，已停止更新。");
  ASSERT_TRUE(remove_file(cache_));

  ASSERT_EQ(::symlink(victim.c_str(), cache_part_path(cache_).c_str()), 0);
  EXPECT_EQ(extract(data_).error(), "未完成的受保护主程序缓存不是普通文件，已停止更新。");
  EXPECT_EQ(test::read_file(victim), "keep me");
}

TEST_F(PayloadCacheTest, LinkedCacheDirectoryIsRefused) {
  const std::string elsewhere = dir_.join("elsewhere");
  ASSERT_TRUE(create_directories(elsewhere));
  ASSERT_EQ(::symlink(elsewhere.c_str(), path_join(dir_.path(), "embedded-core").c_str()), 0);
  EXPECT_EQ(extract(data_).error(), "受保护主程序缓存目录不是普通目录，已停止更新。");
}
#else
std::string g_linked;
std::optional<uint32_t> linked(const std::string& path) {
  return path == g_linked ? std::optional<uint32_t>(0xA000000C) : std::nullopt;
}

TEST_F(PayloadCacheTest, LinksAtTheCachePathsAreRefused) {
  ASSERT_TRUE(extract(data_));
  const ScopedReparseTagProbe probe(linked);
  g_linked = cache_;
  EXPECT_EQ(extract(data_).error(), "受保护主程序不是普通文件，已停止更新。");
  g_linked = path_join(dir_.path(), "embedded-core");
  ASSERT_TRUE(remove_file(cache_));
  EXPECT_EQ(extract(data_).error(), "受保护主程序缓存目录不是普通目录，已停止更新。");
}
#endif

// A downloaded installer in a data root of its own, and the release that
// describes it.
class PrepareInstallSourceTest : public testing::Test {
 protected:
  PrepareInstallSourceTest() : program_data_("ProgramData", dir_.join("data")) {
    built_ = test::build_bundle(test::BundleRecipe{});
    installer_ = dir_.join("VelmoQenWorkbench-Update-v1.10.0.package");
    test::write_file(installer_, as_text(built_.file));
    release_ = VerifiedRelease{.latest_version = "1.10.0",
                               .download_url = "https://localhost/x",
                               .sha256 = test::sha256_hex(built_.file),
                               .installer_bytes = built_.file.size()};
  }

  std::string cache_path() const {
    return path_join(
        path_join(path_join(path_join(dir_.join("data"), "VelmoInstaller"), "downloads"),
                  "embedded-core"),
        "VelmoQenWorkbench-Core-v1.10.0.exe");
  }

  test::TempDir dir_{"velmo-source"};
  test::ScopedEnv program_data_;
  test::BuiltBundle built_;
  std::string installer_;
  VerifiedRelease release_;
};

TEST_F(PrepareInstallSourceTest, VerifiedInstallerGivesTheCachedMainProgram) {
  const Result<InstallSource> source = prepare_install_source(installer_, release_);
  ASSERT_TRUE(source.has_value()) << source.error();
  const std::string downloads =
      path_join(path_join(dir_.join("data"), "VelmoInstaller"), "downloads");
  EXPECT_EQ(source->path,
            path_join(path_join(downloads, "embedded-core"), "VelmoQenWorkbench-Core-v1.10.0.exe"));
  EXPECT_EQ(source->sha256, built_.manifest.main_program.sha256);
  EXPECT_EQ(source->bytes, built_.manifest.main_program.bytes);
  EXPECT_EQ(source->source, "embedded://verified-installer-bundle");
  EXPECT_EQ(test::read_file(source->path), "MZ main program bytes");
}

TEST_F(PrepareInstallSourceTest, InstallerThatDoesNotMatchTheReleaseIsRefused) {
  struct Case {
    const char* name;
    std::function<void(VerifiedRelease&)> edit;
    std::string message;
  };
  const Case cases[] = {
      {"size", [](VerifiedRelease& r) { r.installer_bytes += 1; },
       "更新数据包长度与服务器策略不一致，已停止更新。"},
      {"digest", [](VerifiedRelease& r) { r.sha256[0] = r.sha256[0] == 'A' ? 'B' : 'A'; },
       "更新数据包 SHA-256 与服务器策略不一致，已停止更新。"},
      {"malformed digest", [](VerifiedRelease& r) { r.sha256.pop_back(); },
       "更新数据包 SHA-256 与服务器策略不一致，已停止更新。"},
      {"version", [](VerifiedRelease& r) { r.latest_version = "1.11.0"; },
       "安装包中的固定助手更新清单与目标版本不一致。"},
  };
  for (const Case& c : cases) {
    VerifiedRelease release = release_;
    c.edit(release);
    const Result<InstallSource> source = prepare_install_source(installer_, release);
    ASSERT_FALSE(source.has_value()) << c.name;
    EXPECT_EQ(source.error(), c.message) << c.name;
  }
}

TEST_F(PrepareInstallSourceTest, LowerCaseReleaseDigestIsAccepted) {
  for (char& c : release_.sha256) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  EXPECT_TRUE(prepare_install_source(installer_, release_).has_value());
}

TEST_F(PrepareInstallSourceTest, MissingOrDirectoryInstallerIsRefused) {
  ASSERT_TRUE(remove_file(installer_));
  const Result<InstallSource> missing = prepare_install_source(installer_, release_);
  ASSERT_FALSE(missing.has_value());
  EXPECT_TRUE(missing.error().starts_with("检查更新数据包失败：")) << missing.error();
  ASSERT_TRUE(create_directories(installer_));
  EXPECT_EQ(prepare_install_source(installer_, release_).error(),
            "更新数据包不是普通文件，已停止更新。");
}

#ifdef _WIN32
// The installer is proven and read through one handle that lets nobody write
// or delete the file: a process rewriting the bundle's trailer after the
// whole-file check (while the main program is being cached, say) is turned
// away by the system instead of choosing what gets installed.
TEST_F(PrepareInstallSourceTest, InstallerCannotBeRewrittenBetweenCheckAndRead) {
  test::ScopedMutationRecorder changes;
  bool attempted = false;
  OsResult<File> writer = std::unexpected(OsError{});
  changes.before(Mutation::kCreateFile, cache_part_path(cache_path()), [&] {
    attempted = true;
    writer = File::open_append(installer_);
  });
  const Result<InstallSource> source = prepare_install_source(installer_, release_);
  ASSERT_TRUE(attempted);
  EXPECT_FALSE(writer.has_value()) << "the installer was open for writing during the read";
  ASSERT_TRUE(source.has_value()) << source.error();
  const OsResult<File> deleter = File::open_append(installer_);
  EXPECT_TRUE(deleter.has_value()) << "the installer stayed locked after the read";
}

// A writer that holds the installer open before the check keeps it from
// being opened at all: nothing it could still change is ever proven.
TEST_F(PrepareInstallSourceTest, InstallerHeldOpenForWritingIsNotUsed) {
  OsResult<File> writer = File::open_append(installer_);
  ASSERT_TRUE(writer.has_value());
  const Result<InstallSource> source = prepare_install_source(installer_, release_);
  ASSERT_FALSE(source.has_value());
  EXPECT_TRUE(source.error().starts_with("打开更新数据包失败：")) << source.error();
}
#endif

// An installer the release vouches for whose main program does not match
// its own manifest: refused whether the cache is new (the copy proves the
// payload) or kept from an earlier run (the payload is then proven apart).
TEST_F(PrepareInstallSourceTest, MainProgramThatFailsItsManifestDigestIsRefused) {
  for (const bool earlier_cache : {false, true}) {
    SCOPED_TRACE(earlier_cache ? "cache from an earlier run" : "new cache");
    if (earlier_cache) {
      ASSERT_TRUE(prepare_install_source(installer_, release_).has_value());
    }
    test::Bytes corrupted = built_.file;
    corrupted[built_.manifest.main_program.offset + 3] ^= std::byte{0x20};
    const std::string installer = dir_.join(earlier_cache ? "cached.package" : "new.package");
    test::write_file(installer, as_text(corrupted));
    VerifiedRelease release = release_;
    release.sha256 = test::sha256_hex(corrupted);
    const Result<InstallSource> source = prepare_install_source(installer, release);
    ASSERT_FALSE(source.has_value());
    EXPECT_EQ(source.error(), "安装包中的受保护主程序校验失败。");
    EXPECT_EQ(path_exists(cache_path()), earlier_cache);
    EXPECT_FALSE(path_exists(cache_part_path(cache_path())));
  }
}

// Counts the bytes read from the main program's range.
class CountingBundleSource final : public BundleSource {
 public:
  CountingBundleSource(std::span<const std::byte> data, BundlePayload counted)
      : inner_(data), counted_(counted) {}
  OsStatus seek(uint64_t offset) override {
    position_ = offset;
    return inner_.seek(offset);
  }
  OsResult<size_t> read(std::span<std::byte> buffer) override {
    OsResult<size_t> got = inner_.read(buffer);
    if (got) {
      const uint64_t begin = std::max(position_, counted_.offset);
      const uint64_t end = std::min(position_ + *got, counted_.offset + counted_.bytes);
      counted_bytes_ += end > begin ? end - begin : 0;
      position_ += *got;
    }
    return got;
  }
  uint64_t counted_bytes() const { return counted_bytes_; }

 private:
  MemoryBundleSource inner_;
  BundlePayload counted_;
  uint64_t position_ = 0;
  uint64_t counted_bytes_ = 0;
};

// The main program is the largest part of the installer: filling a new
// cache reads it once, the copy being its proof.
TEST_F(PrepareInstallSourceTest, NewCacheReadsTheMainProgramOnce) {
  const BundlePayload& main_program = built_.manifest.main_program;
  CountingBundleSource source(built_.file, main_program);
  ASSERT_TRUE(
      read_verified_bundle(source, built_.file.size(), "1.10.0", MainProgramProof::kWhileCopying));
  ASSERT_TRUE(extract_payload_to_cache(source, main_program, kMainProgramLabel, cache_path()));
  EXPECT_EQ(source.counted_bytes(), main_program.bytes);
  EXPECT_EQ(test::read_file(cache_path()), "MZ main program bytes");
}

TEST_F(PrepareInstallSourceTest, StoredReleaseIsUsedAndRequired) {
  test::ScopedReleaseStore releases;
  EXPECT_EQ(prepare_install_source(installer_).error(), "尚未取得正式版本策略，请重新检测。");
  ASSERT_TRUE(store_release(release_));
  EXPECT_TRUE(prepare_install_source(installer_).has_value());
}

}  // namespace
}  // namespace velmo
