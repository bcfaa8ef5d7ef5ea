#ifndef VELMO_TOOLS_VELMO_PACK_BUNDLE_WRITER_H_
#define VELMO_TOOLS_VELMO_PACK_BUNDLE_WRITER_H_

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/result.h"
#include "product_install/bundle_format.h"
#include "velmo-pack/bundle_inputs.h"

namespace velmo::pack {

// Authenticode's certificate table starts on an 8-byte boundary. A bundle
// that ends on one is signed without any padding of the signing tool's own,
// so the trailer sits exactly in front of the certificate table.
inline constexpr uint64_t kSignatureAlignment = 8;

// Zero bytes that bring `end` to the next multiple of kSignatureAlignment.
uint64_t padding_after(uint64_t end);

struct BundleInputs {
  InputFile installer;
  InputFile main_program;
  InputFile startup_helper;
  std::string version;
};

// Where write_bundle put things.
struct WrittenBundle {
  BundleManifest manifest;
  uint64_t manifest_offset = 0;  // M
  uint64_t header_offset = 0;    // H
  uint64_t bytes = 0;            // the file's length, a multiple of 8
};

// Writes the installer's bytes, both programs, the manifest describing them,
// the header and the padding to `out`, an empty file named `out_path` in
// messages. The programs are copied in kPayloadChunkBytes pieces and hashed
// on the way, so memory stays flat whatever their size.
Result<WrittenBundle> write_bundle(BundleInputs& inputs, File& out, const std::string& out_path);

}  // namespace velmo::pack

#endif  // VELMO_TOOLS_VELMO_PACK_BUNDLE_WRITER_H_
