#include "platform/followed_object.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo {
namespace {

class RegularFileTest : public testing::Test {
 protected:
  RegularFileTest() {
    test::write_file(file_, "MZ");
    EXPECT_TRUE(create_directories(directory_));
  }

  test::TempDir dir_{"velmo-regular"};
  std::string file_ = dir_.join("主程序.exe");
  std::string directory_ = dir_.join("子目录");
};

TEST_F(RegularFileTest, OnlyAnExistingFileIsRegular) {
  EXPECT_TRUE(is_regular_file_following_links(file_));
  EXPECT_FALSE(is_regular_file_following_links(directory_));
  EXPECT_FALSE(is_regular_file_following_links(dir_.join("missing")));
}

#ifndef _WIN32
// Unlike the plain-file tests, links are followed: what counts is the object
// at the end, so a link to a file is regular and a dangling link is nothing.
TEST_F(RegularFileTest, LinksAreJudgedByTheirTarget) {
  const std::string pipe = dir_.join("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  struct Case {
    const char* link;
    std::string target;
    bool regular;
  };
  const Case cases[] = {
      {"to-file", file_, true},
      {"to-directory", directory_, false},
      {"to-pipe", pipe, false},
      {"dangling", dir_.join("missing"), false},
  };
  for (const Case& c : cases) {
    const std::string link = dir_.join(c.link);
    ASSERT_EQ(::symlink(c.target.c_str(), link.c_str()), 0) << c.link;
    EXPECT_EQ(is_regular_file_following_links(link), c.regular) << c.link;
  }
  EXPECT_FALSE(is_regular_file_following_links(pipe));
  EXPECT_FALSE(is_regular_file_following_links("/dev/null"));
}
#endif

}  // namespace
}  // namespace velmo
