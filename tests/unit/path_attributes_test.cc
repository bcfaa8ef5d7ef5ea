#include "platform/path_attributes.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

#ifdef _WIN32
#include "platform/win/reparse_tag_seam.h"
#else
#include <unistd.h>
#endif

namespace velmo {
namespace {

struct Plainness {
  bool file;
  bool directory;
};

Plainness plainness(const std::string& path) {
  return {is_plain_file(path), is_plain_directory(path)};
}

class PathAttributesTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-attr"};
};

TEST_F(PathAttributesTest, FileDirectoryAndMissingPath) {
  const std::string file = dir_.join("主程序.exe");
  test::write_file(file, "MZ");
  const std::string directory = dir_.join("子目录");
  ASSERT_TRUE(create_directories(directory));

  const Plainness of_file = plainness(file);
  EXPECT_TRUE(of_file.file);
  EXPECT_FALSE(of_file.directory);
  const Plainness of_directory = plainness(directory);
  EXPECT_FALSE(of_directory.file);
  EXPECT_TRUE(of_directory.directory);
  const Plainness of_missing = plainness(dir_.join("missing"));
  EXPECT_FALSE(of_missing.file);
  EXPECT_FALSE(of_missing.directory);
  EXPECT_FALSE(read_path_attributes(dir_.join("missing")).has_value());
}

#ifndef _WIN32
// A symbolic link stands for every name surrogate on this backend: neither
// a link to a file nor one to a directory is plain, and the link is judged
// by itself, not by what it points at.
TEST_F(PathAttributesTest, LinksAreNeverPlainWhateverTheyPointAt) {
  const std::string file = dir_.join("target.exe");
  test::write_file(file, "MZ");
  const std::string directory = dir_.join("target-dir");
  ASSERT_TRUE(create_directories(directory));
  const std::string to_file = dir_.join("to-file");
  const std::string to_directory = dir_.join("to-dir");
  const std::string dangling = dir_.join("dangling");
  ASSERT_EQ(::symlink(file.c_str(), to_file.c_str()), 0);
  ASSERT_EQ(::symlink(directory.c_str(), to_directory.c_str()), 0);
  ASSERT_EQ(::symlink(dir_.join("nowhere").c_str(), dangling.c_str()), 0);

  for (const std::string& link : {to_file, to_directory, dangling}) {
    const OsResult<PathAttributes> attributes = read_path_attributes(link);
    ASSERT_TRUE(attributes.has_value()) << link;
    EXPECT_TRUE(attributes->name_surrogate) << link;
    EXPECT_FALSE(is_plain_file(link)) << link;
    EXPECT_FALSE(is_plain_directory(link)) << link;
  }
}
#else
// Wine reports no reparse points, so the scripted tag stands in for one.
std::string g_scripted_path;
uint32_t g_scripted_tag = 0;

std::optional<uint32_t> scripted_tag(const std::string& path) {
  if (path == g_scripted_path) {
    return g_scripted_tag;
  }
  return std::nullopt;
}

struct TagCase {
  const char* name;
  uint32_t tag;
  bool name_surrogate;
};

TEST_F(PathAttributesTest, OnlyNameSurrogateTagsMakeAPathNotPlain) {
  const TagCase cases[] = {
      {"symlink", 0xA000000C, true},
      {"mount point or junction", 0xA0000003, true},
      {"cloud placeholder", 0x9000001A, false},
      {"deduplicated file", 0x80000013, false},
  };
  const std::string file = dir_.join("f.exe");
  test::write_file(file, "MZ");
  const std::string directory = dir_.join("d");
  ASSERT_TRUE(create_directories(directory));
  {
    const ScopedReparseTagProbe probe(scripted_tag);
    for (const TagCase& c : cases) {
      g_scripted_tag = c.tag;
      g_scripted_path = file;
      EXPECT_EQ(is_plain_file(file), !c.name_surrogate) << c.name;
      g_scripted_path = directory;
      EXPECT_EQ(is_plain_directory(directory), !c.name_surrogate) << c.name;
    }
  }
  EXPECT_TRUE(is_plain_file(file));
}
#endif

}  // namespace
}  // namespace velmo
