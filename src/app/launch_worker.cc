#include "app/launch_worker.h"

#include <compare>
#include <string_view>
#include <utility>

#include "network/sha256_file.h"
#include "network/version.h"
#include "platform/file_system.h"

namespace velmo {

namespace {

constexpr std::string_view kPackagePrefix = "VelmoQenWorkbench-Update-v";
constexpr std::string_view kPackageSuffix = ".package";
constexpr char kApplyingMessage[] = "正在应用已下载的VelmoQen工作台更新。";
constexpr char kTimeOutMessage[] = "VelmoQen工作台启动等待超时，请关闭此提示后重新尝试。";

// The main program to start, or nothing when the workbench already runs
// (its window is then brought to the front). Fails with the manifest check's
// or the in-use check's message.
Result<std::optional<std::string>> program_to_start(const std::string& install_dir,
                                                    const LaunchServices& services) {
  Result<std::string> program = services.resolve_main_program(install_dir);
  if (!program) {
    return fail(std::move(program.error()));
  }
  if (!services.is_protected_installation(install_dir)) {
    return fail(kUnprotectedInstallationMessage);
  }
  Result<std::optional<uint32_t>> holder = services.process_using(*program);
  if (!holder) {
    return fail(std::move(holder.error()));
  }
  if (holder->has_value()) {
    services.bring_to_front(**holder);
    return std::optional<std::string>();
  }
  return std::optional<std::string>(std::move(*program));
}

// A package newer than `installed`, or one whose age cannot be told (the
// installed version does not parse; the policy step then says so).
bool is_candidate(const std::string& name, const std::string& installed) {
  const std::optional<std::string> version = pending_package_version(name);
  if (!version) {
    return false;
  }
  const Result<std::strong_ordering> order = compare_versions(*version, installed);
  return !order || *order == std::strong_ordering::greater;
}

bool has_candidate(const std::string& directory,
                   const std::string& installed,
                   const LaunchServices& services) {
  for (const std::string& name : services.list_directory(directory)) {
    if (is_candidate(name, installed)) {
      return true;
    }
  }
  return false;
}

// The release whose package is to be applied, nothing to go on without an
// update, or the message that ends the launch.
Result<std::optional<VerifiedRelease>> newer_release(const std::string& install_dir,
                                                     const std::string& directory,
                                                     const LaunchServices& services) {
  const std::optional<std::string> installed = services.installed_version(install_dir);
  if (!installed || !has_candidate(directory, *installed, services)) {
    return std::optional<VerifiedRelease>();
  }
  std::optional<Result<VerifiedRelease>> answer = services.fetch_policy_within(kLaunchPolicyWait);
  if (!answer || !*answer) {
    return std::optional<VerifiedRelease>();
  }
  const Result<std::strong_ordering> order =
      compare_versions(*installed, (*answer)->latest_version);
  if (!order) {
    return fail(order.error());
  }
  if (*order != std::strong_ordering::less) {
    return std::optional<VerifiedRelease>();
  }
  return std::optional<VerifiedRelease>(std::move(**answer));
}

// Applies the release's package when it is the verified file the policy
// describes. Any failure leaves the installed workbench as it is; only a
// version that does not parse ends the launch.
Status apply_pending_update(const std::string& install_dir,
                            const EventSink& events,
                            const LaunchServices& services) {
  const Result<std::string> directory = services.download_directory();
  if (!directory) {
    return ok();
  }
  Result<std::optional<VerifiedRelease>> release = newer_release(install_dir, *directory, services);
  if (!release) {
    return fail(std::move(release.error()));
  }
  if (!release->has_value()) {
    return ok();
  }
  const VerifiedRelease& verified = **release;
  const std::string package = path_join(*directory, pending_package_name(verified.latest_version));
  if (!services.package_matches(package, verified.installer_bytes, verified.sha256)) {
    return ok();
  }
  // The startup window must not be closed while the program is replaced.
  events.send(WorkerEvent::installing(Component::Workbench, kApplyingMessage));
  if (services.store_release(verified) && services.apply_verified_installer(package, install_dir)) {
    services.delete_file(package);
  }
  events.send(WorkerEvent::component_installed(Component::Workbench));
  return ok();
}

// Waits for the started workbench to show a visible window.
Status watch_started(StartedWorkbench& workbench, const LaunchServices& services) {
  const auto started = services.now();
  for (;;) {
    if (workbench.has_visible_window()) {
      return ok();
    }
    Result<std::optional<int32_t>> exit_code = workbench.exit_code();
    if (!exit_code) {
      return fail("检查工作台启动状态失败：" + exit_code.error());
    }
    if (exit_code->has_value()) {
      return fail("VelmoQen工作台尚未显示主窗口便已退出，错误码 " + std::to_string(**exit_code));
    }
    if (services.now() - started >= kWindowWaitLimit) {
      return fail(kTimeOutMessage);
    }
    services.sleep(kWindowPollInterval);
  }
}

Status launch(const std::string& install_dir,
              const EventSink& events,
              const LaunchServices& services) {
  services.recover_interrupted_update(install_dir);
  const Result<std::optional<std::string>> before = program_to_start(install_dir, services);
  if (!before) {
    return fail(before.error());
  }
  if (!before->has_value()) {
    return ok();
  }
  if (Status applied = apply_pending_update(install_dir, events, services); !applied) {
    return applied;
  }
  // Again: the update may have replaced the program, or somebody started it.
  const Result<std::optional<std::string>> program = program_to_start(install_dir, services);
  if (!program) {
    return fail(program.error());
  }
  if (!program->has_value()) {
    return ok();
  }
  Result<std::unique_ptr<StartedWorkbench>> workbench =
      services.start_workbench(**program, {kWorkbenchArgument}, install_dir);
  if (!workbench) {
    return fail("启动VelmoQen工作台失败：" + workbench.error());
  }
  return watch_started(**workbench, services);
}

}  // namespace

std::string pending_package_name(const std::string& version) {
  return std::string(kPackagePrefix) + version + std::string(kPackageSuffix);
}

std::optional<std::string> pending_package_version(const std::string& name) {
  const std::string_view text(name);
  if (!text.starts_with(kPackagePrefix) || !text.ends_with(kPackageSuffix)) {
    return std::nullopt;
  }
  const std::string_view version = text.substr(
      kPackagePrefix.size(), text.size() - kPackagePrefix.size() - kPackageSuffix.size());
  if (!is_valid_version(version)) {
    return std::nullopt;
  }
  return std::string(version);
}

void run_launch(const std::string& install_dir,
                const EventSink& events,
                const LaunchServices& services) {
  const Status outcome = launch(install_dir, events, services);
  events.send(outcome ? WorkerEvent::launch_succeeded()
                      : WorkerEvent::launch_failed(outcome.error()));
}

void run_launch_worker(std::string install_dir, EventSender sender) {
  run_launch(install_dir, sender, default_launch_services());
}

}  // namespace velmo
