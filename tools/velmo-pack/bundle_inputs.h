#ifndef VELMO_TOOLS_VELMO_PACK_BUNDLE_INPUTS_H_
#define VELMO_TOOLS_VELMO_PACK_BUNDLE_INPUTS_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file.h"
#include "platform/result.h"

namespace velmo::pack {

// An input of the packer, open and checked.
struct InputFile {
  std::string role;  // "installer", "main program", ... for messages
  std::string path;
  File file;
  uint64_t bytes = 0;  // the installer's size when it was checked
};

// "the {role} '{path}'": how every message names an input.
std::string describe_input(std::string_view role, std::string_view path);

// Any input, open, with its size; "cannot open the {role} '{path}': ..."
// otherwise.
Result<InputFile> open_input(std::string_view role, const std::string& path);

// The installer image: a PE file the assistant's reader can walk, with an
// empty security directory (the bundle must go in before the signature, or
// the signature would not cover it) and no bundle trailer already.
Result<InputFile> open_installer(const std::string& path);

// A program carried inside the bundle: non-empty and starting with "MZ".
// Payloads may well be signed themselves; only their bytes matter here.
Result<InputFile> open_payload_program(std::string_view role, const std::string& path);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_BUNDLE_INPUTS_H_
