#include "platform/hard_link_count.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "temp_dir.h"

namespace velmo {
namespace {

class HardLinkCountTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-links"};
};

TEST_F(HardLinkCountTest, CountsEveryNameOfTheFile) {
  const std::string file = dir_.join("a.bin");
  test::write_file(file, "a");
  EXPECT_EQ(hard_link_count(file).value_or(0), 1u);
  ASSERT_TRUE(test::make_hard_link(file, dir_.join("b.bin")));
  ASSERT_TRUE(test::make_hard_link(file, dir_.join("c.bin")));
  EXPECT_EQ(hard_link_count(file).value_or(0), 3u);
  EXPECT_EQ(hard_link_count(dir_.join("c.bin")).value_or(0), 3u);
  ASSERT_TRUE(remove_file(dir_.join("b.bin")));
  EXPECT_EQ(hard_link_count(file).value_or(0), 2u);
}

TEST_F(HardLinkCountTest, MissingFileFails) {
  EXPECT_FALSE(hard_link_count(dir_.join("missing")).has_value());
}

#ifndef _WIN32
TEST_F(HardLinkCountTest, LinkAtThePathCountsForItselfNotItsTarget) {
  const std::string file = dir_.join("a.bin");
  test::write_file(file, "a");
  ASSERT_TRUE(test::make_hard_link(file, dir_.join("b.bin")));
  ASSERT_EQ(::symlink(file.c_str(), dir_.join("link").c_str()), 0);
  EXPECT_EQ(hard_link_count(dir_.join("link")).value_or(0), 1u);
}
#endif

}  // namespace
}  // namespace velmo
