#include "velmo-pack/bundle_inspection.h"

#include <utility>

#include "platform/file_system.h"
#include "product_install/bundle_source.h"

namespace velmo::pack {

Result<InspectedBundle> inspect_open_bundle(File& file,
                                            uint64_t file_bytes,
                                            std::optional<std::string_view> target_version) {
  FileBundleSource source(file);
  Result<VerifiedBundle> bundle = read_verified_bundle(source, file_bytes, target_version);
  if (!bundle) {
    return fail(bundle.error());
  }
  return InspectedBundle{file_bytes, std::move(*bundle)};
}

Result<InspectedBundle> inspect_bundle(const std::string& path,
                                       std::optional<std::string_view> target_version) {
  OsResult<File> file = File::open_for_read(path);
  if (!file) {
    return fail("cannot open '" + path + "': " + describe_os_error(file.error()));
  }
  const OsResult<uint64_t> bytes = file_size(path);
  if (!bytes) {
    return fail("cannot read '" + path + "': " + describe_os_error(bytes.error()));
  }
  return inspect_open_bundle(*file, *bytes, target_version);
}

}  // namespace velmo::pack
