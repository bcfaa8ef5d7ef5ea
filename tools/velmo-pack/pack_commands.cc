#include "velmo-pack/pack_commands.h"

#include <optional>
#include <span>

#include <nlohmann/json.hpp>

#include "product_install/bundle_format.h"
#include "velmo-pack/bundle_inspection.h"
#include "velmo-pack/bundle_packer.h"
#include "velmo-pack/pack_args.h"
#include "velmo-pack/pending_output.h"
#include "velmo-pack/release_policy.h"

namespace velmo::pack {

namespace {

using Json = nlohmann::ordered_json;

constexpr char kUsage[] =
    "usage: velmo-pack COMMAND [ARGS]\n"
    "\n"
    "Packs a release of the VelmoQen workbench: the installer with the main\n"
    "program and the startup helper appended as a bundle the assistant verifies,\n"
    "and the bootstrap policy offering it. Results are JSON (UTF-8) on stdout.\n"
    "Exit status: 0 success, 1 failure (one line on stderr), 2 usage error.\n"
    "\n"
    "commands:\n"
    "  bundle --installer SETUP.exe --main-program MAIN.exe\n"
    "         --startup-helper HELPER.exe --version V -o OUT.exe [--force]\n"
    "                 write OUT: the unsigned installer, both programs, their\n"
    "                 manifest and header, padded to a multiple of 8 bytes. OUT is\n"
    "                 written under a temporary name, verified with the assistant's\n"
    "                 reader, then renamed; --force replaces an existing OUT.\n"
    "                 Sign OUT afterwards; a signed installer is refused.\n"
    "  policy --installer OUT.exe --version V --base-url https://HOST\n"
    "         [--min-supported X] [--omit-size] [--lower-case-digest]\n"
    "         [-o FILE [--force]]\n"
    "                 the bootstrap policy offering OUT as served (signed) at\n"
    "                 HOST/v1/downloads/; OUT must verify as release V.\n"
    "                 minSupportedVersion is V unless given, the digest upper\n"
    "                 case unless told; -o writes the document to FILE instead\n"
    "                 of stdout. Checked with the assistant's own policy reader.\n"
    "  inspect FILE   verify a bundled installer as the assistant does; print its\n"
    "                 manifest, layout and whether it is signed\n";

int usage(std::ostream& err) {
  return tools::print_usage(err, kUsage);
}

using tools::print_json;

// The layout both bundle and inspect report: E, H, M, the manifest's length,
// the padding, and the manifest with the payload ranges.
Json layout_json(const std::string& path,
                 const InspectedBundle& inspected,
                 const std::optional<std::string>& sha256) {
  const VerifiedBundle& bundle = inspected.bundle;
  Json json;
  json["path"] = path;
  json["bytes"] = inspected.file_bytes;
  if (sha256) {
    json["sha256"] = *sha256;
  }
  json["signed"] = inspected.is_signed();
  json["searchEnd"] = bundle.search_end;
  json["headerOffset"] = bundle.header_offset;
  json["manifestOffset"] = bundle.manifest_offset;
  json["manifestBytes"] = bundle.header_offset - bundle.manifest_offset;
  json["padding"] = inspected.padding();
  json["manifest"] = Json::parse(serialize_bundle_manifest(bundle.manifest));
  return json;
}

Status write_text_file(const std::string& path, const std::string& text, bool replace) {
  Result<PendingOutput> output = PendingOutput::create(path, replace);
  if (!output) {
    return fail(output.error());
  }
  if (OsStatus written = output->file().write_all(std::as_bytes(std::span(text))); !written) {
    return fail("cannot write '" + output->temporary_path() +
                "': " + describe_os_error(written.error()));
  }
  if (Status finished = output->finish_writing(); !finished) {
    return finished;
  }
  return output->commit();
}

int command_bundle(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const auto parsed = parse_pack_args(
      args,
      {.value_options = {"--installer", "--main-program", "--startup-helper", "--version", "-o"},
       .flags = {"--force"}});
  // Every value option is required.
  if (!parsed || parsed->values.size() != 5) {
    return usage(err);
  }
  const BundleRequest request{
      .installer = *parsed->value("--installer"),
      .main_program = *parsed->value("--main-program"),
      .startup_helper = *parsed->value("--startup-helper"),
      .version = *parsed->value("--version"),
      .output = *parsed->value("-o"),
      .replace = parsed->has_flag("--force"),
  };
  const Result<PackedBundle> packed = pack_bundle(request);
  if (!packed) {
    return tools::print_failure(err, packed.error());
  }
  print_json(out, layout_json(request.output, packed->layout, packed->sha256));
  return kExitSuccess;
}

int command_policy(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const auto parsed = parse_pack_args(
      args, {.value_options = {"--installer", "--version", "--base-url", "--min-supported", "-o"},
             .flags = {"--omit-size", "--lower-case-digest", "--force"}});
  if (!parsed || !parsed->value("--installer") || !parsed->value("--version") ||
      !parsed->value("--base-url")) {
    return usage(err);
  }
  const std::optional<std::string> output = parsed->value("-o");
  if (parsed->has_flag("--force") && !output) {
    return usage(err);
  }
  const PolicyRequest request{
      .installer = *parsed->value("--installer"),
      .version = *parsed->value("--version"),
      .min_supported = parsed->value("--min-supported"),
      .base_url = *parsed->value("--base-url"),
      .include_size = !parsed->has_flag("--omit-size"),
      .lower_case_digest = parsed->has_flag("--lower-case-digest"),
  };
  const Result<std::string> policy = make_release_policy(request);
  if (!policy) {
    return tools::print_failure(err, policy.error());
  }
  if (!output) {
    out << *policy << '\n';
    return kExitSuccess;
  }
  if (Status written = write_text_file(*output, *policy + "\n", parsed->has_flag("--force"));
      !written) {
    return tools::print_failure(err, written.error());
  }
  return kExitSuccess;
}

int command_inspect(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const auto parsed = parse_pack_args(args, {.positionals = 1});
  if (!parsed) {
    return usage(err);
  }
  const std::string& path = parsed->positionals.front();
  const Result<InspectedBundle> inspected = inspect_bundle(path, std::nullopt);
  if (!inspected) {
    return tools::print_failure(err, inspected.error());
  }
  print_json(out, layout_json(path, *inspected, std::nullopt));
  return kExitSuccess;
}

}  // namespace

int run_pack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    return usage(err);
  }
  const std::string& command = args[0];
  const std::span<const std::string> rest = std::span(args).subspan(1);
  if (command == "bundle") {
    return command_bundle(rest, out, err);
  }
  if (command == "policy") {
    return command_policy(rest, out, err);
  }
  if (command == "inspect") {
    return command_inspect(rest, out, err);
  }
  return usage(err);
}

}  // namespace velmo::pack
