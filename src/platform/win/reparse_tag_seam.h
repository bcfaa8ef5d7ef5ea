#ifndef VELMO_PLATFORM_WIN_REPARSE_TAG_SEAM_H_
#define VELMO_PLATFORM_WIN_REPARSE_TAG_SEAM_H_

#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// Wine neither creates nor reports name-surrogate reparse points, so the
// Windows backend's refusal of links could never be exercised there. Tests
// install a probe that names the reparse tag of chosen paths; the attribute
// reader then treats those paths as reparse points with that tag, and
// deleting a tree removes such a directory as it stands, never entering it.
// Nothing in the program sets it.
using ReparseTagProbe = std::optional<uint32_t> (*)(const std::string& path);

// Installs the probe (nullptr removes it) and returns the one it replaces.
// Not for concurrent use with the attribute reader: tests set it before the
// code under test runs; prefer ScopedReparseTagProbe.
ReparseTagProbe set_reparse_tag_probe_for_testing(ReparseTagProbe probe);

// The tag the installed probe gives `path`; nothing when no probe is set or
// it leaves the path to the system. For backends that recognise reparse
// points through a handle rather than through read_path_attributes.
std::optional<uint32_t> scripted_reparse_tag(const std::string& path);

// Installs a probe for one scope and puts the previous one back when the
// scope ends, so a failed assertion cannot leave it set for later tests.
class ScopedReparseTagProbe {
 public:
  explicit ScopedReparseTagProbe(ReparseTagProbe probe)
      : previous_(set_reparse_tag_probe_for_testing(probe)) {}
  ~ScopedReparseTagProbe() { set_reparse_tag_probe_for_testing(previous_); }
  ScopedReparseTagProbe(const ScopedReparseTagProbe&) = delete;
  ScopedReparseTagProbe& operator=(const ScopedReparseTagProbe&) = delete;

 private:
  ReparseTagProbe previous_;
};

}  // namespace velmo

#endif  // VELMO_PLATFORM_WIN_REPARSE_TAG_SEAM_H_
