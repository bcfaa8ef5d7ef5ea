#ifndef VELMO_PLATFORM_PROTECTED_TREE_H_
#define VELMO_PLATFORM_PROTECTED_TREE_H_

#include <string>

#include "platform/os_error.h"

namespace velmo {

// Brings a directory and everything in it to the state the elevated
// assistant may trust: owner Administrators, the protected access list,
// nothing inherited from a parent others may write. The directory itself is
// repaired first, so that nobody else can add, rename or delete what is
// listed inside it while the walk goes on; then each entry in turn:
//   - a directory: the same, all the way down;
//   - a plain file with one name: repaired unless already trusted;
//   - a file with more than one name, a link or a junction: left as it is,
//     never followed and never trusted (repairing a file with a second name
//     would change what that other name stands for too); whatever uses the
//     name replaces or refuses it.
// Objects that are already trusted are left as they are. Fails with the
// first system error; what was repaired until then stays repaired.
OsStatus protect_tree(const std::string& directory);

// One entry of a directory that is already protected, by the same rules:
// a directory with everything in it, a file, or a name set aside.
OsStatus protect_entry(const std::string& path);

// Whether anybody but the administrators could take the name `path` away
// or re-secure it: by rights on the object itself, or by deleting entries
// of its parent. Unreadable security counts as replaceable.
bool others_can_replace(const std::string& path);

// The same for `path` and every folder above it: whether anybody but the
// administrators could put another object under that name.
bool others_can_replace_location(const std::string& path);

}  // namespace velmo

#endif  // VELMO_PLATFORM_PROTECTED_TREE_H_
