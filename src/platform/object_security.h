#ifndef VELMO_PLATFORM_OBJECT_SECURITY_H_
#define VELMO_PLATFORM_OBJECT_SECURITY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os_error.h"

namespace velmo {

// Principals by their string SIDs, as Windows writes them.
inline constexpr char kSystemSid[] = "S-1-5-18";
inline constexpr char kAdministratorsSid[] = "S-1-5-32-544";
inline constexpr char kUsersSid[] = "S-1-5-32-545";
inline constexpr char kEveryoneSid[] = "S-1-1-0";
inline constexpr char kCreatorOwnerSid[] = "S-1-3-0";
inline constexpr char kTrustedInstallerSid[] =
    "S-1-5-80-956008885-3425912437-1286014443-1066312592-2044402240";

// Access-mask bits of files and directories (winnt.h values).
inline constexpr uint32_t kFileAllAccess = 0x001F01FF;
inline constexpr uint32_t kFileReadAndExecute = 0x001200A9;
// Rights that let a holder take an object's name away or give it new rules:
// delete, write DAC, write owner, and the generic rights that imply them.
inline constexpr uint32_t kReplaceRights =
    0x00010000 | 0x00040000 | 0x00080000 | 0x02000000 | 0x10000000;
// Rights on a folder that let a holder delete or rename what is in it.
inline constexpr uint32_t kDeleteChildRights = 0x00000040 | 0x02000000 | 0x10000000;
// Every right that changes an object, its content, its children or its
// security, including the generic rights that imply them.
inline constexpr uint32_t kChangeRights = 0x00000002 |  // write data / add file
                                          0x00000004 |  // append data / add subdirectory
                                          0x00000010 |  // write extended attributes
                                          0x00000040 |  // delete child
                                          0x00000100 |  // write attributes
                                          0x00010000 |  // delete
                                          0x00040000 |  // write DAC
                                          0x00080000 |  // write owner
                                          0x02000000 |  // maximum allowed
                                          0x10000000 |  // generic all
                                          0x40000000;   // generic write

// One entry of a discretionary access list. Entries of kinds we do not know
// are read as granting everything to nobody we trust.
struct AccessRule {
  std::string sid;
  bool allow = true;
  uint32_t mask = 0;
  // Applies only to objects created inside, not to this one.
  bool inherit_only = false;

  bool operator==(const AccessRule&) const = default;
};

// Who owns an object and who may do what with it.
struct ObjectSecurity {
  std::string owner_sid;
  // A protected list takes nothing from the parent.
  bool protected_dacl = false;
  // No list at all: everybody may do everything.
  bool null_dacl = false;
  std::vector<AccessRule> rules;

  bool operator==(const ObjectSecurity&) const = default;
};

// The security of folders the elevated assistant trusts: SYSTEM and
// Administrators full control, Users read and execute, for the folder and
// everything created in it, nothing taken from the parent. The owner is left
// to the creating process (Administrators for an elevated one).
ObjectSecurity protected_directory_security();

// The same as the system's descriptor language, for the Windows backend.
inline constexpr char kProtectedDirectorySddl[] =
    "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// What a repaired file gets: the folder's entries, for the file alone.
inline constexpr char kProtectedFileSddl[] = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

// Principals this platform cannot tell apart from the administrators. On
// Windows there are none: the installing administrator's own account is not
// enough, since its unelevated processes can change the access list of
// anything it owns. Wine owns every object by its one user and cannot store
// another owner, and the POSIX backend lets the running user stand for
// Administrators, so there the user is named here.
using AdminEquivalentSids = std::vector<std::string>;

// Owners whose objects we may trust: SYSTEM, Administrators, the system's
// installer service, and the platform's administrator equivalents.
bool is_trusted_owner(const std::string& owner_sid, const AdminEquivalentSids& admins);

// Whether anybody but a trusted owner could change the object or, through
// an inheritable entry, what is created in it. Creator-owner entries count
// as trusted: only those who may create inside ever receive them.
bool lets_others_change(const ObjectSecurity& security, const AdminEquivalentSids& admins);

// A trusted owner and nobody else able to change it.
bool is_trusted_security(const ObjectSecurity& security, const AdminEquivalentSids& admins);

// Whether anybody but a trusted owner could rename, delete or re-secure the
// object, given its own security and, when it has one, its parent's. Adding
// files beside it does not count: that changes nothing under its name.
bool lets_others_replace(const ObjectSecurity& object,
                         const ObjectSecurity* parent,
                         const AdminEquivalentSids& admins);

// Reads the owner and access list of the object at `path` itself (a link is
// not followed).
OsResult<ObjectSecurity> read_object_security(const std::string& path);

// This platform's administrator equivalents (see AdminEquivalentSids).
AdminEquivalentSids admin_equivalent_sids();

// Creates one directory with protected_directory_security(); fails when
// anything exists under the path.
OsStatus create_protected_directory(const std::string& path);

// Gives an existing directory the owner Administrators and
// protected_directory_security(), through a handle of the directory itself:
// a link in its place fails instead of being followed. Explicit entries of
// others are gone afterwards.
OsStatus apply_protected_security(const std::string& path);

// The same for a plain file: owner Administrators, SYSTEM and Administrators
// full control, Users read and execute, nothing inherited. A link, a
// directory or a file with more than one name fails.
OsStatus apply_protected_file_security(const std::string& path);

// Wine maps security onto Unix mode bits and runs every process as one
// administrator, so a foreign owner or an extra writable entry could never be
// shown there. Tests install a probe that scripts the security read for
// chosen paths (nothing means "read it for real"). Nothing in the program
// sets it. Not for concurrent use: set it before the code under test runs;
// prefer ScopedObjectSecurityProbe.
using ObjectSecurityProbe = std::optional<ObjectSecurity> (*)(const std::string& path);
ObjectSecurityProbe set_object_security_probe_for_testing(ObjectSecurityProbe probe);

// What the probe scripts for `path`; nothing when no probe is set or it
// leaves the path to the real reader. Readers through a handle ask it too.
std::optional<ObjectSecurity> scripted_object_security(const std::string& path);

class ScopedObjectSecurityProbe {
 public:
  explicit ScopedObjectSecurityProbe(ObjectSecurityProbe probe)
      : previous_(set_object_security_probe_for_testing(probe)) {}
  ~ScopedObjectSecurityProbe() { set_object_security_probe_for_testing(previous_); }
  ScopedObjectSecurityProbe(const ScopedObjectSecurityProbe&) = delete;
  ScopedObjectSecurityProbe& operator=(const ScopedObjectSecurityProbe&) = delete;

 private:
  ObjectSecurityProbe previous_;
};

}  // namespace velmo

#endif  // VELMO_PLATFORM_OBJECT_SECURITY_H_
