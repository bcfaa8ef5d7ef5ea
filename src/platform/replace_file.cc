#include "platform/replace_file.h"

#include "platform/file_system.h"
#include "platform/os_error.h"

namespace velmo {

namespace {

Status remove_old_final_file(const std::string& final_path) {
  if (path_exists(final_path)) {
    if (auto removed = remove_file(final_path); !removed) {
      return fail(phrase_with_error("替换旧下载文件失败", removed.error()));
    }
  }
  return ok();
}

}  // namespace

Status replace_file(const std::string& partial_path, const std::string& final_path) {
  if (Status removed = remove_old_final_file(final_path); !removed) {
    return removed;
  }
  if (auto renamed = rename_path(partial_path, final_path); !renamed) {
    return fail(phrase_with_error("保存下载文件失败", renamed.error()));
  }
  return ok();
}

Status replace_held_file(File& partial,
                         const std::string& partial_path,
                         const std::string& final_path) {
  if (Status removed = remove_old_final_file(final_path); !removed) {
    return removed;
  }
  if (auto renamed = partial.rename_held(partial_path, final_path); !renamed) {
    return fail(phrase_with_error("保存下载文件失败", renamed.error()));
  }
  return ok();
}

}  // namespace velmo
