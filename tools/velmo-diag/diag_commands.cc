#include "velmo-diag/diag_commands.h"

#include <nlohmann/json.hpp>

#include "installer/sha256_file.h"
#include "platform/result.h"

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
    "  sha256 FILE    the file's SHA-256 as the assistant computes it\n";

void print_json(std::ostream& out, const nlohmann::json& value) {
  // Invalid UTF-8 (from a lossy path) must not abort the tool.
  out << value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

int usage(std::ostream& err) {
  err << kUsage;
  return kExitUsage;
}

int failure(std::ostream& err, const std::string& message) {
  err << message << '\n';
  return kExitFailure;
}

int command_version(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 1) {
    return usage(err);
  }
  print_json(out, {{"version", kAssistantVersion}});
  return kExitSuccess;
}

int command_sha256(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    return usage(err);
  }
  Result<std::string> digest = sha256_file(args[1]);
  if (!digest) {
    return failure(err, digest.error());
  }
  print_json(out, {{"sha256", *digest}});
  return kExitSuccess;
}

}  // namespace

int run_diag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
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
  return usage(err);
}

}  // namespace velmo::diag
