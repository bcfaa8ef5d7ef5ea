#include "velmo-pack/bundle_writer.h"

#include <span>
#include <utility>
#include <vector>

#include "network/sha256_file.h"
#include "platform/sha256.h"
#include "product_files/install_manifest.h"
#include "product_install/bundle_reader.h"

namespace velmo::pack {

namespace {

// An output that writes, counts and reports its failures by file name.
class BundleOutput {
 public:
  BundleOutput(File& file, const std::string& path) : file_(file), path_(path) {}

  Status write(std::span<const std::byte> data) {
    if (OsStatus written = file_.write_all(data); !written) {
      return fail("cannot write '" + path_ + "': " + describe_os_error(written.error()));
    }
    position_ += data.size();
    return ok();
  }

  uint64_t position() const { return position_; }

 private:
  File& file_;
  const std::string& path_;
  uint64_t position_ = 0;
};

std::string read_failure(const InputFile& input, const OsError& error) {
  return "cannot read " + describe_input(input.role, input.path) + ": " + describe_os_error(error);
}

// Copies the whole input from its start to the output: its range in the
// output and its SHA-256 as the manifest records them.
Result<BundlePayload> append_file(InputFile& input, BundleOutput& out) {
  if (OsStatus sought = input.file.seek(0); !sought) {
    return fail(read_failure(input, sought.error()));
  }
  OsResult<Sha256> hasher = Sha256::create();
  if (!hasher) {
    return fail(read_failure(input, hasher.error()));
  }
  BundlePayload range{.offset = out.position()};
  std::vector<std::byte> buffer(kPayloadChunkBytes);
  for (;;) {
    const OsResult<size_t> count = input.file.read(buffer);
    if (!count) {
      return fail(read_failure(input, count.error()));
    }
    if (*count == 0) {
      break;
    }
    const std::span<const std::byte> piece = std::span(buffer).first(*count);
    if (OsStatus fed = hasher->update(piece); !fed) {
      return fail(read_failure(input, fed.error()));
    }
    if (Status written = out.write(piece); !written) {
      return fail(written.error());
    }
    range.bytes += *count;
  }
  const OsResult<Sha256Digest> digest = hasher->finish();
  if (!digest) {
    return fail(read_failure(input, digest.error()));
  }
  range.sha256 = digest_to_hex(*digest);
  return range;
}

// A file that grew or shrank since its checks would make the recorded ranges
// describe something else than what was checked.
Result<BundlePayload> append_unchanged(InputFile& input, BundleOutput& out) {
  Result<BundlePayload> range = append_file(input, out);
  if (range && range->bytes != input.bytes) {
    return fail(describe_input(input.role, input.path) + " changed while it was being packed");
  }
  return range;
}

Status append_trailer(const BundleManifest& manifest, BundleOutput& out) {
  const std::string text = serialize_bundle_manifest(manifest);
  const std::span<const std::byte> text_bytes = std::as_bytes(std::span(text));
  const OsResult<Sha256Digest> digest = sha256_of(text_bytes);
  if (!digest) {
    return fail("cannot hash the manifest: " + describe_os_error(digest.error()));
  }
  const BundleHeaderBytes header = encode_bundle_header(BundleHeader{
      .manifest_bytes = text.size(),
      .manifest_sha256 = *digest,
      .format_version = kBundleFormatVersion,
      .reserved = 0,
  });
  if (Status written = out.write(text_bytes); !written) {
    return written;
  }
  return out.write(header);
}

}  // namespace

uint64_t padding_after(uint64_t end) {
  return (kSignatureAlignment - end % kSignatureAlignment) % kSignatureAlignment;
}

Result<WrittenBundle> write_bundle(BundleInputs& inputs, File& out, const std::string& out_path) {
  BundleOutput output(out, out_path);
  // The image is copied like a payload, but its range and digest are not
  // recorded: the signature, not the manifest, vouches for it.
  if (Result<BundlePayload> image = append_unchanged(inputs.installer, output); !image) {
    return fail(image.error());
  }
  WrittenBundle written;
  written.manifest.schema_version = kBundleSchemaVersion;
  written.manifest.product = kProductName;
  written.manifest.version = inputs.version;
  for (auto [input, range] :
       {std::pair{&inputs.main_program, &written.manifest.main_program},
        std::pair{&inputs.startup_helper, &written.manifest.startup_helper}}) {
    Result<BundlePayload> copied = append_unchanged(*input, output);
    if (!copied) {
      return fail(copied.error());
    }
    *range = std::move(*copied);
  }
  written.manifest_offset = output.position();
  if (Status trailer = append_trailer(written.manifest, output); !trailer) {
    return fail(trailer.error());
  }
  written.header_offset = output.position() - kBundleHeaderBytes;
  const std::vector<std::byte> padding(padding_after(output.position()), std::byte{0});
  if (Status padded = output.write(padding); !padded) {
    return fail(padded.error());
  }
  written.bytes = output.position();
  return written;
}

}  // namespace velmo::pack
