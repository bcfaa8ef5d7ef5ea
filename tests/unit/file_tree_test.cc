#include <gtest/gtest.h>

#include <functional>

#include "platform/file_system.h"
#include "platform/mutation_seam.h"
#include "platform/path_attributes.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmo {
namespace {

class FileTreeTest : public testing::Test {
 protected:
  test::TempDir dir_{"velmo-tree"};
};

TEST_F(FileTreeTest, CopyReplacesTheTargetsContent) {
  test::write_file(dir_.join("a.exe"), "new content");
  test::write_file(dir_.join("b.exe"), "an older and longer content");
  ASSERT_TRUE(copy_file(dir_.join("a.exe"), dir_.join("b.exe")));
  EXPECT_EQ(test::read_file(dir_.join("b.exe")), "new content");
  EXPECT_FALSE(copy_file(dir_.join("missing"), dir_.join("c.exe")).has_value());
}

TEST_F(FileTreeTest, RemovesANestedTree) {
  const std::string root = dir_.join("engine-db");
  ASSERT_TRUE(create_directories(path_join(path_join(root, "a"), "b")));
  test::write_file(path_join(root, "x.db"), "x");
  test::write_file(path_join(path_join(path_join(root, "a"), "b"), "y.db"), "y");
  ASSERT_TRUE(remove_directory_tree(root));
  EXPECT_FALSE(path_exists(root));
}

#ifndef _WIN32
TEST_F(FileTreeTest, LinksInsideAreRemovedNotFollowed) {
  const std::string outside = dir_.join("outside");
  ASSERT_TRUE(create_directories(outside));
  test::write_file(path_join(outside, "keep.txt"), "keep");
  const std::string root = dir_.join("engine-db");
  ASSERT_TRUE(create_directories(root));
  ASSERT_EQ(::symlink(outside.c_str(), path_join(root, "dir-link").c_str()), 0);
  ASSERT_EQ(::symlink(path_join(outside, "keep.txt").c_str(), path_join(root, "file-link").c_str()),
            0);
  ASSERT_TRUE(remove_directory_tree(root));
  EXPECT_FALSE(path_exists(root));
  EXPECT_EQ(test::read_file(path_join(outside, "keep.txt")), "keep");
}

TEST_F(FileTreeTest, CopyDoesNotWriteThroughALinkAtTheTarget) {
  test::write_file(dir_.join("victim"), "keep");
  test::write_file(dir_.join("source"), "new");
  ASSERT_EQ(::symlink(dir_.join("victim").c_str(), dir_.join("target").c_str()), 0);
  EXPECT_FALSE(copy_file(dir_.join("source"), dir_.join("target")).has_value());
  EXPECT_EQ(test::read_file(dir_.join("victim")), "keep");
}
#endif

// The test seam: each kind of change can be made to fail, and the change is
// then not made.
Mutation g_failing_kind = Mutation::kRename;
std::optional<OsError> fail_kind(Mutation kind, const std::string&) {
  if (kind == g_failing_kind) {
    return OsError{5, "injected"};
  }
  return std::nullopt;
}

TEST(MutationSeamTest, ScopedHooksPutThePreviousHookBack) {
  g_failing_kind = Mutation::kRemoveFile;
  {
    const ScopedMutationHook outer(fail_kind);
    {
      const ScopedMutationHook inner(nullptr);
      EXPECT_FALSE(mutation_fault(Mutation::kRemoveFile, "x").has_value());
    }
    EXPECT_TRUE(mutation_fault(Mutation::kRemoveFile, "x").has_value());
  }
  EXPECT_FALSE(mutation_fault(Mutation::kRemoveFile, "x").has_value());
}

TEST_F(FileTreeTest, InjectedFaultsStopTheChange) {
  test::write_file(dir_.join("a"), "a");
  std::optional<ScopedMutationHook> hook(std::in_place, fail_kind);
  struct Case {
    Mutation kind;
    std::function<bool()> attempt;
    std::function<bool()> unchanged;
  };
  const Case cases[] = {
      {Mutation::kRename, [&] { return rename_path(dir_.join("a"), dir_.join("b")).has_value(); },
       [&] { return path_exists(dir_.join("a")) && !path_exists(dir_.join("b")); }},
      {Mutation::kRemoveFile, [&] { return remove_file(dir_.join("a")).has_value(); },
       [&] { return path_exists(dir_.join("a")); }},
      {Mutation::kCreateDirectory, [&] { return create_directories(dir_.join("d")).has_value(); },
       [&] { return !path_exists(dir_.join("d")); }},
      {Mutation::kCopyFile, [&] { return copy_file(dir_.join("a"), dir_.join("c")).has_value(); },
       [&] { return !path_exists(dir_.join("c")); }},
      {Mutation::kCreateFile, [&] { return File::create_new(dir_.join("n")).has_value(); },
       [&] { return !path_exists(dir_.join("n")); }},
  };
  for (const Case& c : cases) {
    g_failing_kind = c.kind;
    EXPECT_FALSE(c.attempt()) << static_cast<int>(c.kind);
    EXPECT_TRUE(c.unchanged()) << static_cast<int>(c.kind);
  }
  hook.reset();
  EXPECT_TRUE(rename_path(dir_.join("a"), dir_.join("b")));
}

}  // namespace
}  // namespace velmo
