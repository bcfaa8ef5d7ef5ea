#ifndef VELMO_ENVIRONMENT_WINDOWS_CLASSIFICATION_H_
#define VELMO_ENVIRONMENT_WINDOWS_CLASSIFICATION_H_

#include <optional>
#include <string>

#include "platform/os_version.h"

namespace velmo {

// What the assistant makes of the system it runs on.
struct WindowsClassification {
  std::string os_label;  // the system line, e.g. "Windows 11 x64 · Build 22631"
  std::string verdict;   // the short verdict
  // Whether components are detected and installation may start: Windows 10
  // and 11 workstations, and servers of any version.
  bool supported = false;

  bool operator==(const WindowsClassification&) const = default;
};

// Classifies a version read from the kernel; nothing (the read failed) gives
// the "version unreadable" label, after which the user may check again.
WindowsClassification classify_windows(const std::optional<OsVersion>& version);

}  // namespace velmo

#endif  // VELMO_ENVIRONMENT_WINDOWS_CLASSIFICATION_H_
