#include "product_install/launcher_replacement.h"

#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/path_attributes.h"
#include "platform/secure_directory.h"
#include "product_install/launcher_leftovers.h"

namespace velmo {

namespace {

constexpr char kUpdateFailed[] = "更新工作台启动器失败";

// Whether the launcher already is the source. Only a file that nobody but
// the administrators could have changed is kept, judged and hashed through
// one handle that keeps it so meanwhile: the right bytes in a file another
// account controls can be other bytes by the time it runs. A link is never
// followed.
Result<bool> launcher_is_current(const std::string& launcher, const std::string& source_digest) {
  if (!is_plain_file(launcher)) {
    return false;
  }
  OsResult<File> file = open_trusted_file(launcher);
  if (!file) {
    return false;
  }
  const Result<std::string> digest = hash_open_file(*file);
  if (!digest) {
    return fail(digest.error());
  }
  return digests_equal(*digest, source_digest);
}

// The copy comes from the same handle the digest was taken from, so it is
// the file that was proven even if the source's name changed meanwhile.
// The copy is flushed before it is trusted: a rename survives a power cut
// that the copied bytes, still in the cache, would not.
Status write_verified_copy(File& source,
                           const std::string& source_digest,
                           const std::string& part) {
  if (auto copied = source.copy_to(part); !copied) {
    return fail(phrase_with_error("复制工作台启动器失败", copied.error()));
  }
  OsResult<File> file = File::open_append(part);
  if (!file) {
    return fail(phrase_with_error("保存工作台启动器失败", file.error()));
  }
  if (auto flushed = file->flush(); !flushed) {
    return fail(phrase_with_error("保存工作台启动器失败", flushed.error()));
  }
  file->close();
  const Result<std::string> digest = sha256_file(part);
  if (!digest) {
    return fail(digest.error());
  }
  if (!digests_equal(*digest, source_digest)) {
    (void)remove_file(part);
    return fail("工作台启动器复制校验失败，未改写桌面入口。");
  }
  return ok();
}

// Old launcher aside, new one in, old one gone. Between the first two
// renames there is no launcher; a failure there puts the old one back.
Status swap_in(const LauncherLayout& layout) {
  if (auto backed_up = rename_path(layout.launcher, layout.backup); !backed_up) {
    return fail(phrase_with_error("备份旧工作台启动器失败", backed_up.error()));
  }
  if (auto moved = rename_path(layout.part, layout.launcher); !moved) {
    const std::string message = phrase_with_error(kUpdateFailed, moved.error());
    if (auto restored = rename_path(layout.backup, layout.launcher); !restored) {
      return fail(message + "；恢复旧启动器也失败：" + describe_os_error(restored.error()));
    }
    return fail(message);
  }
  if (auto removed = remove_file(layout.backup); !removed) {
    return fail(phrase_with_error("清理旧启动器备份失败", removed.error()));
  }
  return ok();
}

}  // namespace

Status refresh_launcher(File& source, const LauncherLayout& layout) {
  // The source's handle lets nobody write or delete it and is held until
  // the copy is proven: what was hashed is what gets copied.
  if (auto rewound = source.seek(0); !rewound) {
    return fail(phrase_with_error("读取校验文件失败", rewound.error()));
  }
  const Result<std::string> source_digest = hash_open_file(source);
  if (!source_digest) {
    return fail(source_digest.error());
  }
  if (Status cleared = clear_leftover_part(layout.part); !cleared) {
    return cleared;
  }
  const Result<bool> current = launcher_is_current(layout.launcher, *source_digest);
  if (!current) {
    return fail(current.error());
  }
  if (*current) {
    return ok();
  }
  if (Status written = write_verified_copy(source, *source_digest, layout.part); !written) {
    return written;
  }
  if (path_exists(layout.launcher)) {
    return swap_in(layout);
  }
  if (auto moved = rename_path(layout.part, layout.launcher); !moved) {
    return fail(phrase_with_error(kUpdateFailed, moved.error()));
  }
  return ok();
}

}  // namespace velmo
