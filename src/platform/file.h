#ifndef VELMO_PLATFORM_FILE_H_
#define VELMO_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/object_security.h"
#include "platform/os_error.h"

namespace velmo {

// An open file. Paths are UTF-8; the Windows backend converts them to UTF-16
// at the call. Files are opened sharing read, write and delete so that another
// program (or a second assistant) is never locked out by us.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static OsResult<File> open_for_read(const std::string& path);

  // For reading a file that is about to be run: while this stays open nobody
  // can write, rename or delete it, so what was checked is what runs. POSIX
  // has no such share modes; there it is open_for_read.
  static OsResult<File> open_for_read_locked(const std::string& path);

  // The file this process was started from, opened so that nobody can write,
  // rename or delete it while it stays open. On Windows the file opened by
  // its name is checked to be the one the running image was mapped from
  // (both current names must be the same); POSIX opens the image itself.
  // Fails when the file cannot be opened or is not that file.
  static OsResult<File> open_running_image();

  // For a file about to be trusted: like open_for_read_locked, but a link at
  // the path is opened itself instead of being followed (it then fails the
  // checks below, never judging what it points at).
  static OsResult<File> open_for_check(const std::string& path);

  // What the open file itself is, read through its handle: whether it is a
  // plain file (no directory, no link) and how many names it has.
  struct Facts {
    bool plain_file = false;
    uint32_t links = 0;
  };
  OsResult<Facts> facts() const;

  // The owner and access list of the open file itself.
  OsResult<ObjectSecurity> security() const;

  // A second handle of the same open file (sharing its position): a held
  // file can be handed out without letting go of it.
  OsResult<File> duplicate() const;

  // For writing: a new or emptied file.
  static OsResult<File> create_truncate(const std::string& path);

  // For writing: a new file only; fails when anything exists under the path,
  // so an existing file is never overwritten.
  static OsResult<File> create_new(const std::string& path);

  // For writing at the end of an existing file; never creates one.
  static OsResult<File> open_append(const std::string& path);

  // For a file whose digest is taken while it is written, from its opening
  // to its final rename: reading and writing for us, and nobody else may
  // write, rename or delete it meanwhile, so the digest stays the digest of
  // what is on disk. POSIX has no such share modes; there these are plain
  // read-write opens. create_truncate_held makes a new or emptied file;
  // open_existing_held never creates one and starts at its first byte.
  static OsResult<File> create_truncate_held(const std::string& path);
  static OsResult<File> open_existing_held(const std::string& path);

  // Gives a file opened by one of the *_held functions, known as
  // `own_path`, the new name `new_path`, which must not exist. On Windows
  // the rename goes through the handle, so it is this very file that is
  // renamed, and it needs no sharing the handle denies.
  OsStatus rename_held(const std::string& own_path, const std::string& new_path);

  // Reads up to buffer.size() bytes; 0 means the end of the file.
  OsResult<size_t> read(std::span<std::byte> buffer);

  // Moves the read and write position to `offset` bytes from the start.
  OsStatus seek(uint64_t offset);

  // The size of the open file itself, whatever its name now stands for.
  OsResult<uint64_t> size() const;

  // Copies this file's whole content, from its first byte, to `to`,
  // replacing a file of that name (a link there is not followed on POSIX).
  // Copying from the handle that was verified, not from a name, means the
  // copy is the proven file even if the name was changed meanwhile.
  OsStatus copy_to(const std::string& to);

  // Writes every byte or fails.
  OsStatus write_all(std::span<const std::byte> data);

  // Pushes written data to the disk before the file is trusted elsewhere.
  OsStatus flush();

  // Asks the system to start writing what was written so far to the disk,
  // without waiting for it: a large copy that calls this as it goes finds
  // most of its flush() done by the time it gets there. Windows writes back
  // soon by itself and has no such request; there it does nothing.
  void start_writeback();

  bool is_open() const;
  void close();

 private:
  explicit File(intptr_t native) : native_(native) {}

  // Reads this file from its first byte into `target`: the part of copy_to
  // both backends share once the target is open.
  OsStatus copy_content_into(File& target);

  // A HANDLE on Windows, a file descriptor elsewhere.
  intptr_t native_ = kInvalid;
  static constexpr intptr_t kInvalid = -1;
};

}  // namespace velmo

#endif  // VELMO_PLATFORM_FILE_H_
