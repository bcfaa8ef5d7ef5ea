#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "platform/file.h"
#include "test_env.h"

namespace velmo {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("velmo-fs-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return path_join(dir_.string(), name); }
  void write(const std::string& file, const std::string& data) {
    std::ofstream(file, std::ios::binary) << data;
  }

  fs::path dir_;
};

TEST_F(FileSystemTest, FileSizeAndExistence) {
  write(path("a.bin"), "12345");
  EXPECT_EQ(file_size(path("a.bin")).value(), 5u);
  EXPECT_TRUE(path_exists(path("a.bin")));
  EXPECT_FALSE(path_exists(path("missing.bin")));
  EXPECT_FALSE(file_size(path("missing.bin")).has_value());
}

TEST_F(FileSystemTest, RenameRefusesToOverwrite) {
  write(path("from.bin"), "new");
  write(path("to.bin"), "old");
  EXPECT_FALSE(rename_path(path("from.bin"), path("to.bin")).has_value());
  EXPECT_EQ(file_size(path("to.bin")).value(), 3u);
  EXPECT_TRUE(path_exists(path("from.bin")));
  ASSERT_TRUE(remove_file(path("to.bin")).has_value());
  ASSERT_TRUE(rename_path(path("from.bin"), path("to.bin")).has_value());
  EXPECT_FALSE(path_exists(path("from.bin")));
}

TEST_F(FileSystemTest, RemoveMissingFileFailsWithTheSystemsError) {
  auto removed = remove_file(path("missing.bin"));
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error().code, 2u);  // ERROR_FILE_NOT_FOUND and ENOENT alike
}

TEST_F(FileSystemTest, CreateDirectoriesMakesEveryParentAndIsIdempotent) {
  const std::string deep = path_join(path_join(path("一"), "二"), "三");
  ASSERT_TRUE(create_directories(deep).has_value());
  // A file can be made inside, so every level is a real directory.
  EXPECT_TRUE(File::create_truncate(path_join(deep, "f.bin")).has_value());
  EXPECT_TRUE(create_directories(deep).has_value());
}

TEST_F(FileSystemTest, CreateDirectoriesFailsOverAFile) {
  write(path("file"), "x");
  EXPECT_FALSE(create_directories(path_join(path("file"), "sub")).has_value());
  EXPECT_FALSE(create_directories(path("file")).has_value());
}

TEST_F(FileSystemTest, AppendNeverCreatesAndWritesAtTheEnd) {
  EXPECT_FALSE(File::open_append(path("none.bin")).has_value());
  EXPECT_FALSE(path_exists(path("none.bin")));
  write(path("log.bin"), "abc");
  {
    auto file = File::open_append(path("log.bin"));
    ASSERT_TRUE(file.has_value());
    const std::string more = "def";
    ASSERT_TRUE(file->write_all(std::as_bytes(std::span(more.data(), more.size()))).has_value());
    ASSERT_TRUE(file->flush().has_value());
  }
  EXPECT_EQ(file_size(path("log.bin")).value(), 6u);
}

TEST_F(FileSystemTest, CreateTruncateEmptiesAnExistingFile) {
  write(path("t.bin"), "0123456789");
  {
    auto file = File::create_truncate(path("t.bin"));
    ASSERT_TRUE(file.has_value());
  }
  EXPECT_EQ(file_size(path("t.bin")).value(), 0u);
}

std::span<const std::byte> bytes_of(const std::string& text) {
  return std::as_bytes(std::span(text.data(), text.size()));
}

std::string read_all(File& file) {
  std::string content;
  std::vector<std::byte> buffer(4);
  for (;;) {
    auto got = file.read(buffer);
    if (!got || *got == 0) {
      return content;
    }
    content.append(reinterpret_cast<const char*>(buffer.data()), *got);
  }
}

TEST_F(FileSystemTest, HeldFileReadsFromItsStartWritesAtTheEndAndRenames) {
  write(path("side.partial"), "abc");
  EXPECT_FALSE(File::open_existing_held(path("none.partial")).has_value());
  EXPECT_FALSE(path_exists(path("none.partial")));
  {
    auto file = File::open_existing_held(path("side.partial"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(read_all(*file), "abc");
    ASSERT_TRUE(file->write_all(bytes_of("def")).has_value());
    ASSERT_TRUE(file->rename_held(path("side.partial"), path("final.bin")).has_value());
    // Still the same open file after its rename.
    EXPECT_EQ(file->size().value(), 6u);
  }
  EXPECT_FALSE(path_exists(path("side.partial")));
  EXPECT_EQ(file_size(path("final.bin")).value(), 6u);
}

TEST_F(FileSystemTest, HeldFileRenameNeverReplacesAnExistingName) {
  write(path("final.bin"), "old");
  auto file = File::create_truncate_held(path("side.partial"));
  ASSERT_TRUE(file.has_value());
  ASSERT_TRUE(file->write_all(bytes_of("new content")).has_value());
  EXPECT_FALSE(file->rename_held(path("side.partial"), path("final.bin")).has_value());
  EXPECT_EQ(file_size(path("final.bin")).value(), 3u);
  EXPECT_TRUE(path_exists(path("side.partial")));
}

#ifdef _WIN32
// While held, others may read the file but neither write, rename nor
// delete it: a digest taken from the written bytes stays the file's digest.
TEST_F(FileSystemTest, HeldFileKeepsWritersRenamersAndDeletersOut) {
  auto file = File::create_truncate_held(path("side.partial"));
  ASSERT_TRUE(file.has_value());
  ASSERT_TRUE(file->write_all(bytes_of("written")).has_value());
  EXPECT_FALSE(File::open_append(path("side.partial")).has_value());
  EXPECT_FALSE(File::create_truncate(path("side.partial")).has_value());
  EXPECT_FALSE(remove_file(path("side.partial")).has_value());
  EXPECT_FALSE(rename_path(path("side.partial"), path("other.bin")).has_value());
  auto reader = File::open_for_read(path("side.partial"));
  ASSERT_TRUE(reader.has_value());
  EXPECT_EQ(read_all(*reader), "written");
  reader->close();
  file->close();
  EXPECT_TRUE(remove_file(path("side.partial")).has_value());
}
#endif

TEST(EnvironmentVariableTest, ReadsSetAndUnsetValues) {
  {
    test::ScopedEnv set("VELMO_TEST_VARIABLE", "数据 dir");
    EXPECT_EQ(environment_variable("VELMO_TEST_VARIABLE"), "数据 dir");
  }
  test::ScopedEnv unset("VELMO_TEST_VARIABLE", std::nullopt);
  EXPECT_FALSE(environment_variable("VELMO_TEST_VARIABLE").has_value());
}

TEST(PathJoinTest, UsesOneSeparator) {
  const std::string sep(1, kPathSeparator);
  EXPECT_EQ(path_join("a", "b"), "a" + sep + "b");
  EXPECT_EQ(path_join("a" + sep, "b"), "a" + sep + "b");
  EXPECT_EQ(path_join("", "b"), "b");
}

}  // namespace
}  // namespace velmo
