#include "velmo-diag/diag_commands.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include <charconv>
#include <map>
#include <optional>

#include "environment/data_directory.h"
#include "environment/environment_check.h"
#include "environment/install_location.h"
#include "network/bootstrap_policy.h"
#include "network/download_url.h"
#include "network/downloader.h"
#include "network/release_store.h"
#include "network/sha256_file.h"
#include "platform/file_system.h"
#include "platform/result.h"
#include "platform/windows_path.h"
#include "product_files/install_manifest.h"
#include "product_install/in_use_check.h"
#include "product_install/install_source.h"
#include "product_install/main_program_install.h"
#include "product_install/startup_launcher.h"
#include "velmo-diag/diag_install.h"
#include "velmo-diag/diag_launch.h"
#include "velmo-diag/diag_options.h"
#include "velmo-diag/diag_recover.h"

namespace velmo::diag {

namespace {

constexpr char kAssistantVersion[] = "1.0.0";

constexpr char kUsage[] =
    "usage: velmo-diag COMMAND [ARGS]\n"
    "\n"
    "Runs one operation of the VelmoQen workbench assistant and prints its result\n"
    "as JSON (UTF-8). Exit status: 0 success, 1 failure (the assistant's message\n"
    "on stderr), 2 usage error.\n"
    "\n"
    "commands:\n"
    "  version        the assistant's version\n"
    "  sha256 FILE    the file's SHA-256 as the assistant computes it\n"
    "  policy [--endpoint ORIGIN]\n"
    "                 fetch and validate the bootstrap policy (ORIGIN is\n"
    "                 scheme://host[:port]; default: the built-in endpoint; a\n"
    "                 release build takes no http:// ORIGIN, as for the built-in one)\n"
    "  download --url U --sha256 H --bytes N --name F\n"
    "                 download into %ProgramData%\\VelmoInstaller\\downloads\\F,\n"
    "                 one {\"progress\":N} line per progress report\n"
    "  env [--install-dir D]\n"
    "                 the environment check: system label, verdict, components\n"
    "                 present (1-5) and ready (0-5), and the workbench status at D\n"
    "                 (default: the discovered location)\n"
    "  manifest DIR   the install manifest of DIR, as the assistant accepts it\n"
    "  discover       the install location the assistant would choose\n"
    "  bundle --installer P --version V --sha256 H --bytes N\n"
    "                 take V (installer digest H, size N) as the released version,\n"
    "                 verify the downloaded installer P and its bundle, and cache\n"
    "                 the main program; prints the install source\n"
    "  in-use EXE     whether a process has the workbench program EXE open, and\n"
    "                 the first one found (the Restart Manager's answer)\n"
    "  launcher DIR [--assistant PATH]\n"
    "                 install the startup launcher into the installation DIR and\n"
    "                 write the desktop shortcut; the launcher is copied from PATH\n"
    "                 (default: the assistant beside velmo-diag)\n"
    "  apply --installer P --install-dir D --version V --sha256 H --bytes N\n"
    "        [--assistant PATH]\n"
    "                 take V as the released version and install or update the\n"
    "                 workbench in D from the downloaded installer P, launcher\n"
    "                 and shortcut included (launcher copied from PATH)\n"
    "  install --install-dir D [--endpoint ORIGIN] [--assistant PATH]\n"
    "          [--webview2-wait-seconds N]\n"
    "                 the whole installation run, as the assistant's install\n"
    "                 button does it: fetch the policy, check the computer, obtain\n"
    "                 and verify what is missing, install the WebView2 runtime and\n"
    "                 the workbench into D, refresh launcher and shortcut; one\n"
    "                 {\"event\":...} line per progress event. N shortens the wait\n"
    "                 for the runtime after its installer ended (default 600)\n"
    "  launch --install-dir D [--endpoint ORIGIN]\n"
    "                 what the desktop shortcut does, without the startup window:\n"
    "                 apply a downloaded newer update, start the workbench of D and\n"
    "                 wait for its window; prints the terminal {\"event\":...} line\n"
    "  recover --install-dir D\n"
    "                 get D out of an interrupted update: put back the program\n"
    "                 and manifest that belong together, set the update's other\n"
    "                 leftovers aside under .recovery- names (nothing is deleted).\n"
    "                 One line per rename, {\"action\":\"restored\"|\"setAside\",\n"
    "                 \"item\":...,\"from\":...,\"to\":...}, or {\"action\":\"none\"};\n"
    "                 then {\"state\":\"installed\",\"version\":V} (exit 0) or\n"
    "                 {\"state\":\"unrecovered\"} (exit 1, the reason on stderr).\n"
    "                 Items: program, manifest, programBackup, manifestBackup,\n"
    "                 partialProgram, commandLibrary, commandLibraryBackup,\n"
    "                 launcher, launcherBackup, launcherPart\n";

using tools::print_json;

int usage(std::ostream& err) {
  return tools::print_usage(err, kUsage);
}

int command_version(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    return usage(err);
  }
  print_json(out, nlohmann::ordered_json{{"version", kAssistantVersion}});
  return kExitSuccess;
}

int command_sha256(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    return usage(err);
  }
  Result<std::string> digest = sha256_file(args[1]);
  if (!digest) {
    return tools::print_failure(err, digest.error());
  }
  print_json(out, nlohmann::ordered_json{{"sha256", *digest}});
  return kExitSuccess;
}

int command_policy(const std::vector<std::string>& args,
                   std::ostream& out,
                   std::ostream& err,
                   HttpEndpoints http_endpoints) {
  const auto options = parse_options(args, {"--endpoint"});
  if (!options) {
    return usage(err);
  }
  const Result<std::string> origin = policy_origin_option(*options, http_endpoints);
  if (!origin) {
    return tools::print_failure(err, origin.error());
  }
  Result<VerifiedRelease> release = fetch_bootstrap_policy_from(*origin);
  if (!release) {
    return tools::print_failure(err, release.error());
  }
  nlohmann::ordered_json json;
  json["latestVersion"] = release->latest_version;
  json["downloadUrl"] = release->download_url;
  json["sha256"] = release->sha256;
  json["installerBytes"] = release->installer_bytes;
  print_json(out, json);
  return kExitSuccess;
}

int command_download(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto options = parse_options(args, {"--url", "--sha256", "--bytes", "--name"});
  if (!options || options->size() != 4) {
    return usage(err);
  }
  const std::optional<uint64_t> bytes = parse_u64(options->at("--bytes"));
  if (!bytes) {
    return usage(err);
  }
  const DownloadItem item{options->at("--name"), options->at("--url"), options->at("--sha256"),
                          *bytes};
  Result<std::string> directory = download_directory();
  if (!directory) {
    return tools::print_failure(err, directory.error());
  }
  const auto progress = [&out](uint64_t present) {
    print_json(out, nlohmann::ordered_json{{"progress", present}});
  };
  Result<std::string> path = download_file(item, *directory, progress);
  if (!path) {
    out.flush();
    return tools::print_failure(err, path.error());
  }
  print_json(out, nlohmann::ordered_json{{"path", *path}});
  return kExitSuccess;
}

int command_env(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto options = parse_options(args, {"--install-dir"});
  if (!options) {
    return usage(err);
  }
  const auto given = options->find("--install-dir");
  const std::string install_dir =
      given != options->end() ? given->second : discover_install_location();
  const EnvironmentCheck check = check_environment(install_dir);
  nlohmann::ordered_json json;
  json["osLabel"] = check.report.os_label;
  json["verdict"] = check.report.verdict;
  json["supported"] = check.report.supported;
  json["present"] = check.report.present;
  json["ready"] = check.report.ready;
  json["workbenchStatus"] =
      static_cast<int>(check.workbench_status.value_or(InstalledStatus::kNotInstalled));
  print_json(out, json);
  return kExitSuccess;
}

int command_manifest(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    return usage(err);
  }
  const std::optional<InstallManifest> manifest = read_install_manifest(args[1]);
  if (!manifest) {
    // Launch mode's gate gives the message for a directory that is not a
    // recognised installation.
    return tools::print_failure(err, resolve_launch_target(args[1]).error());
  }
  nlohmann::ordered_json json;
  json["commandLibraryPath"] = manifest->command_library_path;
  json["executablePath"] = manifest->executable_path;
  json["installPath"] = manifest->install_path;
  json["product"] = manifest->product;
  json["version"] = manifest->version;
  print_json(out, json);
  return kExitSuccess;
}

int command_discover(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    return usage(err);
  }
  print_json(out, nlohmann::ordered_json{{"installDir", discover_install_location()}});
  return kExitSuccess;
}

// The release named by --version, --sha256 and (already parsed) --bytes,
// stored as a validated policy would have stored it; the address is the
// official one for the version and is not used.
Status store_given_release(const std::map<std::string, std::string>& options, uint64_t bytes) {
  const std::string& version = options.at("--version");
  return store_release(VerifiedRelease{.latest_version = version,
                                       .download_url = built_in_policy_origin() +
                                                       std::string(kInstallerPathPrefix) +
                                                       installer_file_name(version),
                                       .sha256 = options.at("--sha256"),
                                       .installer_bytes = bytes});
}

int command_bundle(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto options = parse_options(args, {"--installer", "--version", "--sha256", "--bytes"});
  if (!options || options->size() != 4) {
    return usage(err);
  }
  const std::optional<uint64_t> bytes = parse_u64(options->at("--bytes"));
  if (!bytes) {
    return usage(err);
  }
  if (Status stored = store_given_release(*options, *bytes); !stored) {
    return tools::print_failure(err, stored.error());
  }
  Result<InstallSource> source = prepare_install_source(options->at("--installer"));
  if (!source) {
    return tools::print_failure(err, source.error());
  }
  nlohmann::ordered_json json;
  json["path"] = source->path;
  json["sha256"] = source->sha256;
  json["bytes"] = source->bytes;
  json["source"] = source->source;
  print_json(out, json);
  return kExitSuccess;
}

int command_in_use(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    return usage(err);
  }
  const Result<InUseAnswer> answer = query_workbench_in_use(args[1]);
  if (!answer) {
    return tools::print_failure(err, answer.error());
  }
  nlohmann::ordered_json json;
  json["inUse"] = answer->in_use;
  json["processId"] = answer->process_id;
  print_json(out, json);
  return kExitSuccess;
}

int command_launcher(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const bool named = args.size() == 4 && args[2] == "--assistant";
  if (args.size() != 2 && !named) {
    return usage(err);
  }
  const LauncherSource source =
      named ? launcher_source_at(args[3]) : launcher_source_named(assistant_beside_tool);
  const Result<std::string> launcher = install_startup_launcher(args[1], source);
  if (!launcher) {
    return tools::print_failure(err, launcher.error());
  }
  print_json(out, nlohmann::ordered_json{{"launcher", *launcher}});
  return kExitSuccess;
}

int command_apply(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const auto options = parse_options(
      args, {"--installer", "--install-dir", "--version", "--sha256", "--bytes", "--assistant"});
  if (!options || options->size() < 5 || options->size() > 6 || !options->contains("--installer") ||
      !options->contains("--install-dir") || !options->contains("--version") ||
      !options->contains("--sha256") || !options->contains("--bytes")) {
    return usage(err);
  }
  const std::optional<uint64_t> bytes = parse_u64(options->at("--bytes"));
  if (!bytes) {
    return usage(err);
  }
  if (Status stored = store_given_release(*options, *bytes); !stored) {
    return tools::print_failure(err, stored.error());
  }
  const LauncherSource source = launcher_source_option(*options);
  const std::string& install_dir = options->at("--install-dir");
  if (Status applied = apply_verified_installer(options->at("--installer"), install_dir,
                                                install_services_with_assistant(source));
      !applied) {
    return tools::print_failure(err, applied.error());
  }
  print_json(out, nlohmann::ordered_json{{"installDir", install_dir}});
  return kExitSuccess;
}

}  // namespace

int run_diag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return run_diag_under(build_http_endpoints(), args, out, err);
}

int run_diag_under(HttpEndpoints http_endpoints,
                   const std::vector<std::string>& args,
                   std::ostream& out,
                   std::ostream& err) {
  if (args.empty()) {
    return usage(err);
  }
  const std::string& command = args[0];
  if (command == "version") {
    return command_version(args, out, err);
  }
  if (command == "sha256") {
    return command_sha256(args, out, err);
  }
  if (command == "policy") {
    return command_policy(args, out, err, http_endpoints);
  }
  if (command == "download") {
    return command_download(args, out, err);
  }
  if (command == "env") {
    return command_env(args, out, err);
  }
  if (command == "manifest") {
    return command_manifest(args, out, err);
  }
  if (command == "discover") {
    return command_discover(args, out, err);
  }
  if (command == "bundle") {
    return command_bundle(args, out, err);
  }
  if (command == "in-use") {
    return command_in_use(args, out, err);
  }
  if (command == "launcher") {
    return command_launcher(args, out, err);
  }
  if (command == "apply") {
    return command_apply(args, out, err);
  }
  if (command == "install") {
    return command_install(args, out, err, usage, http_endpoints);
  }
  if (command == "launch") {
    return command_launch(args, out, err, usage, http_endpoints);
  }
  if (command == "recover") {
    return command_recover(args, out, err, usage);
  }
  return usage(err);
}

}  // namespace velmo::diag
