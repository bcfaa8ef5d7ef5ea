#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "app/launch_worker.h"
#include "environment/data_directory.h"
#include "environment/installation_protection.h"
#include "network/bootstrap_policy.h"
#include "network/sha256_file.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/os_error.h"
#include "platform/path_attributes.h"
#include "platform/secure_directory.h"
#include "platform/watched_process.h"
#include "product_files/install_manifest.h"
#include "product_install/automatic_recovery.h"
#include "product_install/in_use_check.h"
#include "product_install/main_program_install.h"

namespace velmo {

namespace {

// The one result of the launch's policy fetcher. The fetcher thread may
// outlive the wait: it shares this with the launch and its late result is
// simply never read.
struct PolicyHandOver {
  std::mutex mutex;
  std::condition_variable ready;
  std::optional<Result<VerifiedRelease>> result;
};

}  // namespace

std::optional<Result<VerifiedRelease>> fetch_release_within(
    std::function<Result<VerifiedRelease>()> fetch,
    std::chrono::steady_clock::duration wait) {
  auto hand_over = std::make_shared<PolicyHandOver>();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  std::thread([hand_over, fetch = std::move(fetch)] {
    Result<VerifiedRelease> release = fetch();
    const std::lock_guard lock(hand_over->mutex);
    hand_over->result = std::move(release);
    hand_over->ready.notify_one();
  }).detach();
  std::unique_lock lock(hand_over->mutex);
  hand_over->ready.wait_until(lock, deadline, [&] { return hand_over->result.has_value(); });
  return std::move(hand_over->result);
}

bool is_verified_package(const std::string& path, uint64_t bytes, const std::string& sha256) {
  // A package another account owns or may change was not put there by the
  // assistant's download and is never applied. Judged, measured and hashed
  // through one handle.
  OsResult<File> file = open_trusted_file(path);
  if (!file) {
    return false;
  }
  const OsResult<uint64_t> size = file->size();
  if (!size || *size != bytes) {
    return false;
  }
  const Result<std::string> digest = hash_open_file(*file);
  return digest && digests_equal(*digest, sha256);
}

namespace {

class RunningWorkbench final : public StartedWorkbench {
 public:
  explicit RunningWorkbench(WatchedProcess process) : process_(std::move(process)) {}

  bool has_visible_window() override { return process_.has_visible_window(); }

  Result<std::optional<int32_t>> exit_code() override {
    OsResult<std::optional<int32_t>> code = process_.exit_code();
    if (!code) {
      return fail(describe_os_error(code.error()));
    }
    return *code;
  }

 private:
  WatchedProcess process_;
};

Result<std::optional<uint32_t>> process_using(const std::string& program) {
  const Result<InUseAnswer> answer = query_workbench_in_use(program);
  if (!answer) {
    return fail(answer.error());
  }
  return answer->in_use ? std::optional<uint32_t>(answer->process_id) : std::nullopt;
}

Result<std::unique_ptr<StartedWorkbench>> start_workbench(const std::string& program,
                                                          const std::vector<std::string>& arguments,
                                                          const std::string& working_directory) {
  OsResult<WatchedProcess> process = WatchedProcess::start(program, arguments, working_directory);
  if (!process) {
    return fail(describe_os_error(process.error()));
  }
  return std::unique_ptr<StartedWorkbench>(std::make_unique<RunningWorkbench>(std::move(*process)));
}

}  // namespace

LaunchServices default_launch_services() {
  LaunchServices services;
  services.recover_interrupted_update = [](const std::string& install_dir) {
    (void)recover_before_use(install_dir);
  };
  services.resolve_main_program = resolve_launch_target;
  services.is_protected_installation = is_protected_installation;
  services.process_using = process_using;
  services.bring_to_front = bring_process_window_to_front;
  services.installed_version = [](const std::string& install_dir) -> std::optional<std::string> {
    std::optional<InstallManifest> manifest = read_install_manifest(install_dir);
    if (!manifest) {
      return std::nullopt;
    }
    return std::move(manifest->version);
  };
  services.download_directory = [] { return download_directory(); };
  services.list_directory = directory_names;
  services.fetch_policy_within = [](std::chrono::steady_clock::duration wait) {
    return fetch_release_within([] { return fetch_bootstrap_policy(); }, wait);
  };
  services.package_matches = is_verified_package;
  services.store_release = store_release;
  services.apply_verified_installer = [](const std::string& package,
                                         const std::string& install_dir) {
    return apply_verified_installer(package, install_dir);
  };
  services.delete_file = [](const std::string& path) { (void)remove_file(path); };
  services.start_workbench = start_workbench;
  services.now = [] { return std::chrono::steady_clock::now(); };
  services.sleep = [](std::chrono::steady_clock::duration duration) {
    std::this_thread::sleep_for(duration);
  };
  return services;
}

}  // namespace velmo
