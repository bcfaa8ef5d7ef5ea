#include "velmo-diag/diag_recover.h"

#include <nlohmann/json.hpp>

#include "environment/data_directory.h"
#include "product_install/in_use_check.h"
#include "product_install/interrupted_update_recovery.h"
#include "velmo-diag/diag_commands.h"
#include "velmo-diag/diag_options.h"

namespace velmo::diag {

namespace {

nlohmann::ordered_json action_json(const RecoveryAction& action) {
  const char* kind = action.kind == RecoveryAction::Kind::kRestored ? "restored" : "setAside";
  return {{"action", kind}, {"item", action.item}, {"from", action.from}, {"to", action.to}};
}

int print_unrecovered(std::ostream& out, std::ostream& err, const std::string& message) {
  tools::print_json(out, nlohmann::ordered_json{{"state", "unrecovered"}});
  out.flush();
  return tools::print_failure(err, message);
}

}  // namespace

int command_recover(const std::vector<std::string>& args,
                    std::ostream& out,
                    std::ostream& err,
                    const std::function<int(std::ostream&)>& usage) {
  const auto options = parse_options(args, {"--install-dir"});
  if (!options || !options->contains("--install-dir")) {
    return usage(err);
  }
  const std::string& install_dir = options->at("--install-dir");
  // As before an update: a program in use is never moved away.
  if (Status idle = ensure_workbench_not_running(install_dir); !idle) {
    return print_unrecovered(out, err, idle.error());
  }
  const RecoveryOutcome outcome =
      recover_interrupted_update(install_dir, download_directory_path());
  for (const RecoveryAction& action : outcome.actions) {
    tools::print_json(out, action_json(action));
  }
  if (!outcome.status) {
    return print_unrecovered(out, err, outcome.status.error());
  }
  if (outcome.actions.empty()) {
    tools::print_json(out, nlohmann::ordered_json{{"action", "none"}});
  }
  tools::print_json(out,
                    nlohmann::ordered_json{{"state", "installed"}, {"version", outcome.version}});
  return kExitSuccess;
}

}  // namespace velmo::diag
