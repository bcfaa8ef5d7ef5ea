#ifndef VELMO_TESTS_UNIT_TEMP_DIR_H_
#define VELMO_TESTS_UNIT_TEMP_DIR_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/file_system.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win/wide.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmo::test {

#ifndef _WIN32
// The permission bits of the object at `path` itself (a link is not
// followed): how the POSIX backend shows who may change it.
inline mode_t mode_of(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}
#endif

// A std::filesystem path for a UTF-8 path. On Windows a narrow string would
// be read in the ANSI code page, which mangles names like "工作台".
inline std::filesystem::path fs_path(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(to_wide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

// The UTF-8 text of a std::filesystem path, the inverse of fs_path.
inline std::string utf8_path(const std::filesystem::path& path) {
#ifdef _WIN32
  return from_wide(path.wstring());
#else
  return path.string();
#endif
}

// Makes `directory` the process's current directory while it lives, as when
// the assistant is started from a download folder.
class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::string& directory)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(fs_path(directory));
  }
  ~ScopedCurrentDirectory() { std::filesystem::current_path(previous_); }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

// Writes a whole file through the platform layer (UTF-8 names on both
// backends).
inline void write_file(const std::string& path, std::string_view content) {
  OsResult<File> file = File::create_truncate(path);
  ASSERT_TRUE(file.has_value()) << path << ": " << file.error().text;
  ASSERT_TRUE(file->write_all(std::as_bytes(std::span(content.data(), content.size()))));
}

inline std::string read_file(const std::string& path) {
  OsResult<std::string> text = read_small_file(path, 1 << 24);
  EXPECT_TRUE(text.has_value()) << path;
  return text.value_or("");
}

// A second name for an existing file, as any account allowed to create
// files beside it could make one.
inline bool make_hard_link(const std::string& existing, const std::string& name) {
#ifdef _WIN32
  return ::CreateHardLinkW(to_wide(name).c_str(), to_wide(existing).c_str(), nullptr) != 0;
#else
  return ::link(existing.c_str(), name.c_str()) == 0;
#endif
}

// A fresh directory under the system's temporary folder, removed with
// everything in it when the test ends.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "velmo-test") {
    const std::string name = std::string(prefix) + "-" + std::to_string(std::random_device{}()) +
                             std::to_string(std::random_device{}());
#ifdef _WIN32
    path_ = from_wide(std::filesystem::temp_directory_path().wstring());
#else
    path_ = std::filesystem::temp_directory_path().string();
#endif
    path_ = path_join(path_, name);
    EXPECT_TRUE(create_directories(path_).has_value()) << path_;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(fs_path(path_), ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const {
    return path_;
  }
  std::string join(std::string_view name) const {
    return path_join(path_, name);
  }

 private:
  std::string path_;
};

}  // namespace velmo::test

#endif  // VELMO_TESTS_UNIT_TEMP_DIR_H_
