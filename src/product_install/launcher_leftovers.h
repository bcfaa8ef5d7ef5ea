#ifndef VELMO_PRODUCT_INSTALL_LAUNCHER_LEFTOVERS_H_
#define VELMO_PRODUCT_INSTALL_LAUNCHER_LEFTOVERS_H_

#include <optional>
#include <string>

#include "platform/result.h"
#include "product_files/launcher_layout.h"

namespace velmo {

// Deals with a backup an interrupted replacement left behind, before the
// launcher is looked at. Without a launcher the backup is the launcher and
// is renamed back into place ("恢复遗留工作台启动器失败：{e}"). Beside a
// plain launcher it is set aside under a recovery name
// ("归档遗留工作台启动器备份失败：{e}"), returned so the caller can delete
// it once the launcher is settled. A backup or launcher that is not a plain
// file is left exactly as found and refused.
Result<std::optional<std::string>> settle_leftover_backup(const LauncherLayout& layout);

// Deletes the archived backup when it is still a plain file; failures are
// of no consequence, the copy is only one more old launcher.
void discard_archived_backup(const std::string& archived);

// Deletes the part file of an interrupted copy ("清理启动器安装临时文件失败：{e}");
// anything there other than a plain file is refused.
Status clear_leftover_part(const std::string& part);

}  // namespace velmo

#endif  // VELMO_PRODUCT_INSTALL_LAUNCHER_LEFTOVERS_H_
