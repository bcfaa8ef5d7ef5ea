#include <gtest/gtest.h>

#include <functional>

#include "mutation_recorder.h"
#include "platform/file_system.h"
#include "platform/mutation_seam.h"
#include "platform/path_attributes.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win/reparse_tag_seam.h"
#include "platform/win/wide.h"
#else
#include <stdio.h>
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

// A tree to delete and, beside it, a folder with a file that must outlive
// the deletion whatever the tree's links point at.
class TreeRemovalTest : public FileTreeTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(create_directories(outside_));
    test::write_file(victim_, "keep");
  }

  void link(const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), name.c_str()), 0) << name;
  }

  void expect_outside_untouched() {
    EXPECT_EQ(test::read_file(victim_), "keep");
    EXPECT_EQ(directory_names(outside_), std::vector<std::string>{"victim.txt"});
  }

  const std::string outside_ = dir_.join("outside");
  const std::string victim_ = path_join(outside_, "victim.txt");
};

TEST_F(TreeRemovalTest, RemovesWhatIsThereAndNeverWhatLinksPointAt) {
  struct Case {
    const char* name;
    // Builds under `root` what remove_directory_tree(root) is asked to delete.
    std::function<void(const std::string& root)> build;
  };
  const Case cases[] = {
      {"nested folders and files",
       [](const std::string& root) {
         const std::string deep = path_join(path_join(root, "a"), "b");
         ASSERT_TRUE(create_directories(deep));
         ASSERT_TRUE(create_directories(path_join(root, "empty")));
         test::write_file(path_join(root, "x.db"), "x");
         test::write_file(path_join(deep, "y.db"), "y");
       }},
      {"link to a folder inside",
       [this](const std::string& root) {
         const std::string sub = path_join(root, "sub");
         ASSERT_TRUE(create_directories(sub));
         test::write_file(path_join(sub, "own.txt"), "own");
         link(outside_, path_join(sub, "dir-link"));
       }},
      {"top is a link to a folder", [this](const std::string& root) { link(outside_, root); }},
      {"top is a link to a file", [this](const std::string& root) { link(victim_, root); }},
      {"top is a file", [](const std::string& root) { test::write_file(root, "plain"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string root = dir_.join("tree");
    c.build(root);
    EXPECT_TRUE(remove_directory_tree(root));
    EXPECT_FALSE(path_exists(root));
    expect_outside_untouched();
  }
}

// Another account renames the folder being emptied away and puts a link to
// a folder of its choice under the name: the rest of the deletion still acts
// on the folder it opened, never on the link's target.
TEST_F(TreeRemovalTest, FolderSwappedForALinkDuringTheDeletionIsNotFollowed) {
  const std::string root = dir_.join("tree");
  const std::string swapped = path_join(path_join(root, "A"), "B");
  const std::string moved = dir_.join("B.moved");
  ASSERT_TRUE(create_directories(swapped));
  // Same names as outside, so a deletion by name through the link would hit
  // the victim.
  test::write_file(path_join(swapped, "victim.txt"), "ours");
  test::write_file(path_join(swapped, "z.txt"), "ours");
  test::write_file(path_join(path_join(root, "A"), "f.txt"), "ours");

  test::ScopedMutationRecorder recorder;
  bool swapped_in = false;
  const auto swap = [&] {
    if (swapped_in) {
      return;
    }
    swapped_in = ::rename(swapped.c_str(), moved.c_str()) == 0 &&
                 ::symlink(outside_.c_str(), swapped.c_str()) == 0;
  };
  recorder.before(Mutation::kRemoveFile, path_join(swapped, "victim.txt"), swap);
  recorder.before(Mutation::kRemoveFile, path_join(swapped, "z.txt"), swap);
  (void)remove_directory_tree(root);

  ASSERT_TRUE(swapped_in);
  expect_outside_untouched();
  EXPECT_TRUE(directory_names(moved).empty()) << "emptied through the handle it opened";
  const OsResult<PathAttributes> left = read_path_attributes(swapped);
  EXPECT_TRUE(!left || left->name_surrogate) << "the link is removed or left, never entered";
}
#endif

#ifdef _WIN32
// Wine makes no junctions: a folder is scripted as one.
std::string g_junction;
std::optional<uint32_t> scripted_junction(const std::string& path) {
  return path == g_junction ? std::optional<uint32_t>(0xA0000003) : std::nullopt;
}

TEST_F(FileTreeTest, JunctionInsideIsRemovedAsAnEntryNeverEntered) {
  const std::string root = dir_.join("tree");
  g_junction = path_join(root, "junction");
  const std::string behind = path_join(g_junction, "behind.txt");
  ASSERT_TRUE(create_directories(g_junction));
  test::write_file(behind, "theirs");
  test::write_file(path_join(root, "own.txt"), "own");

  const ScopedReparseTagProbe probe(scripted_junction);
  test::ScopedMutationRecorder recorder;
  // A real junction is an empty folder and goes; the scripted one still
  // holds a file, so deleting it as an entry fails and keeps the file.
  EXPECT_FALSE(remove_directory_tree(root).has_value());
  EXPECT_EQ(test::read_file(behind), "theirs");
  EXPECT_FALSE(path_exists(path_join(root, "own.txt")));
  EXPECT_EQ(recorder.paths(Mutation::kRemoveFile),
            std::vector<std::string>{path_join(root, "own.txt")});
  EXPECT_EQ(recorder.paths(Mutation::kRemoveDirectory), std::vector<std::string>{g_junction});
}

TEST_F(FileTreeTest, ReadOnlyEntriesAreRemoved) {
  const std::string root = dir_.join("tree");
  const std::string sub = path_join(root, "sub");
  ASSERT_TRUE(create_directories(sub));
  test::write_file(path_join(sub, "locked.txt"), "x");
  for (const std::string& path : {path_join(sub, "locked.txt"), sub}) {
    ASSERT_TRUE(::SetFileAttributesW(
        to_wide(path).c_str(),
        FILE_ATTRIBUTE_READONLY | ::GetFileAttributesW(to_wide(path).c_str())));
  }
  EXPECT_TRUE(remove_directory_tree(root));
  EXPECT_FALSE(path_exists(root));
}
#endif

#ifndef _WIN32
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
