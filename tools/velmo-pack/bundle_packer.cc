#include "velmo-pack/bundle_packer.h"

#include <utility>

#include "network/sha256_file.h"
#include "velmo-pack/bundle_writer.h"
#include "velmo-pack/pack_args.h"
#include "velmo-pack/pending_output.h"

namespace velmo::pack {

namespace {

// Every input is opened and checked before the output is created, so a
// refused input leaves nothing behind.
Result<BundleInputs> open_inputs(const BundleRequest& request) {
  Result<InputFile> installer = open_installer(request.installer);
  if (!installer) {
    return fail(installer.error());
  }
  Result<InputFile> main_program = open_payload_program("main program", request.main_program);
  if (!main_program) {
    return fail(main_program.error());
  }
  Result<InputFile> startup_helper = open_payload_program("startup helper", request.startup_helper);
  if (!startup_helper) {
    return fail(startup_helper.error());
  }
  return BundleInputs{std::move(*installer), std::move(*main_program), std::move(*startup_helper),
                      request.version};
}

// Takes the inputs by value so they are closed once written: on Windows an
// input still open could not be replaced by the output under --force.
Result<WrittenBundle> write_and_close(BundleInputs inputs, PendingOutput& output) {
  Result<WrittenBundle> written = write_bundle(inputs, output.file(), output.temporary_path());
  if (!written) {
    return written;
  }
  if (Status finished = output.finish_writing(); !finished) {
    return fail(finished.error());
  }
  return written;
}

// The assistant's reader must find exactly what was written: the same
// manifest, the header where we put it, and no padding of its own guessing.
Result<InspectedBundle> read_back(const std::string& path,
                                  const WrittenBundle& written,
                                  const std::string& version) {
  Result<InspectedBundle> inspected = inspect_bundle(path, version);
  if (!inspected) {
    return fail("the packed file does not verify: " + inspected.error());
  }
  const VerifiedBundle& found = inspected->bundle;
  if (inspected->file_bytes != written.bytes || found.search_end != written.bytes ||
      found.header_offset != written.header_offset ||
      found.manifest_offset != written.manifest_offset || found.manifest != written.manifest) {
    return fail("the packed file reads back differently from what was written to '" + path + "'");
  }
  return inspected;
}

}  // namespace

Result<PackedBundle> pack_bundle(const BundleRequest& request) {
  if (Status version = check_version_arg("--version", request.version); !version) {
    return fail(version.error());
  }
  Result<BundleInputs> inputs = open_inputs(request);
  if (!inputs) {
    return fail(inputs.error());
  }
  Result<PendingOutput> output = PendingOutput::create(request.output, request.replace);
  if (!output) {
    return fail(output.error());
  }
  const Result<WrittenBundle> written = write_and_close(std::move(*inputs), *output);
  if (!written) {
    return fail(written.error());
  }
  Result<InspectedBundle> layout = read_back(output->temporary_path(), *written, request.version);
  if (!layout) {
    return fail(layout.error());
  }
  Result<std::string> digest = sha256_file(output->temporary_path());
  if (!digest) {
    return fail("cannot hash the packed file: " + digest.error());
  }
  if (Status committed = output->commit(); !committed) {
    return fail(committed.error());
  }
  return PackedBundle{std::move(*digest), std::move(*layout)};
}

}  // namespace velmo::pack
