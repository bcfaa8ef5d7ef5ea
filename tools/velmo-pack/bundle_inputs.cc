#include "velmo-pack/bundle_inputs.h"

#include <array>
#include <utility>

#include "platform/file_system.h"
#include "product_install/bundle_reader.h"
#include "product_install/bundle_source.h"

namespace velmo::pack {

namespace {

// Up to two bytes from the start; fewer only at the end of the file.
Result<std::string> read_signature(InputFile& input) {
  std::array<std::byte, 2> buffer{};
  size_t filled = 0;
  while (filled < buffer.size()) {
    OsResult<size_t> count = input.file.read(std::span(buffer).subspan(filled));
    if (!count) {
      return fail("cannot read " + describe_input(input.role, input.path) + ": " +
                  describe_os_error(count.error()));
    }
    if (*count == 0) {
      break;
    }
    filled += *count;
  }
  return std::string(reinterpret_cast<const char*>(buffer.data()), filled);
}

Status check_unsigned_pe(InputFile& input) {
  FileBundleSource source(input.file);
  const Result<uint64_t> search_end = find_signature_offset(source, input.bytes);
  if (!search_end) {
    return fail(describe_input(input.role, input.path) +
                " is not a Windows program the assistant can read: " + search_end.error());
  }
  if (*search_end < input.bytes) {
    return fail(describe_input(input.role, input.path) +
                " is already signed; pack the unsigned installer, then sign the packed output");
  }
  return ok();
}

Status check_no_trailer(InputFile& input) {
  FileBundleSource source(input.file);
  // Only a bundled installer ends with the header's magic; packing one again
  // would carry the old payloads along unseen inside the new image.
  if (find_bundle_header(source, input.bytes)) {
    return fail(describe_input(input.role, input.path) +
                " already carries an update bundle; pack the original installer");
  }
  return ok();
}

}  // namespace

std::string describe_input(std::string_view role, std::string_view path) {
  return "the " + std::string(role) + " '" + std::string(path) + "'";
}

Result<InputFile> open_input(std::string_view role, const std::string& path) {
  OsResult<File> file = File::open_for_read(path);
  if (!file) {
    return fail("cannot open " + describe_input(role, path) + ": " +
                describe_os_error(file.error()));
  }
  OsResult<uint64_t> bytes = file_size(path);
  if (!bytes) {
    return fail("cannot read " + describe_input(role, path) + ": " +
                describe_os_error(bytes.error()));
  }
  return InputFile{std::string(role), path, std::move(*file), *bytes};
}

Result<InputFile> open_installer(const std::string& path) {
  Result<InputFile> input = open_input("installer", path);
  if (!input) {
    return input;
  }
  if (Status status = check_unsigned_pe(*input); !status) {
    return fail(status.error());
  }
  if (Status status = check_no_trailer(*input); !status) {
    return fail(status.error());
  }
  return input;
}

Result<InputFile> open_payload_program(std::string_view role, const std::string& path) {
  Result<InputFile> input = open_input(role, path);
  if (!input) {
    return input;
  }
  const Result<std::string> signature = read_signature(*input);
  if (!signature) {
    return fail(signature.error());
  }
  if (signature->empty()) {
    return fail(describe_input(role, path) + " is empty");
  }
  if (*signature != "MZ") {
    return fail(describe_input(role, path) +
                " does not start with \"MZ\"; it is not a Windows program");
  }
  return input;
}

}  // namespace velmo::pack
