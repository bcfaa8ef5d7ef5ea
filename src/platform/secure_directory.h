#ifndef VELMO_PLATFORM_SECURE_DIRECTORY_H_
#define VELMO_PLATFORM_SECURE_DIRECTORY_H_

#include <string>

#include "platform/file.h"
#include "platform/os_error.h"

namespace velmo {

// Makes `path` a real directory that only administrators can change, before
// the elevated assistant trusts anything in it. Other accounts can often
// create folders where ours live (a new folder of ProgramData, the root of a
// second disk), so whatever is found there may have been made by them:
//   - nothing there: created with the protected security;
//   - a link, junction or file in its place: set aside under a recovery name
//     (the link itself is renamed; what it points at is never touched), then
//     created;
//   - a directory with a foreign owner or an entry letting others change it:
//     given our owner and the protected security through a handle of the
//     directory itself; when that fails, set aside and created.
// The parent must already be trusted. Fails with the last system error when
// no trustworthy directory could be made.
OsStatus secure_directory(const std::string& path);

// Whether the object at `path` itself has a trusted owner and nobody else
// able to change it (see is_trusted_security). Only looks.
bool has_trusted_security(const std::string& path);

// Moves what is under `path` out of the way, with everything in it, to a
// ".recovery-untrusted-…" name beside it: the name is taken by something we
// cannot use or repair, and it is kept for whoever wants to look at it.
OsStatus set_aside_untrusted(const std::string& path);

// Whether `path` is a real directory with a trusted owner that nobody else
// can change. Only looks.
bool is_secure_directory(const std::string& path);

// Whether `path` is a plain file with a trusted owner that nobody else can
// change. A file that fails this in a protected folder was put there before
// the folder was protected, possibly by another account, and is never used.
bool is_trusted_file(const std::string& path);

// Opens a file the elevated assistant is about to trust and checks it
// through the handle it returns: a plain file (not a directory, not a
// link), one name, a trusted owner and nobody else able to change it. The
// handle lets nobody write, rename or delete the file while it stays open,
// so what is read from it is what was checked. Fails with the system's
// error, or "access denied" for a file that is not one to trust.
OsResult<File> open_trusted_file(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_SECURE_DIRECTORY_H_
