#include "main/assistant_main.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/progress_queue.h"
#include "app/receiver_slot.h"
#include "app/workers.h"
#include "environment/data_directory.h"
#include "environment/install_location.h"
#include "main/archive_run.h"
#include "main/command_line.h"
#include "main/run_options.h"
#include "platform/process.h"
#include "ui/main_window.h"
#include "ui/policy_check.h"

namespace velmo {

namespace {

constexpr char kArchiveRunMessage[] = "建议解压后运行；如需继续，请点击“重新检测”。";
constexpr char kNoInstallDirMessage[] = "没有找到工作台安装目录。";

std::vector<std::string> command_line_arguments() {
  const wchar_t* line = ::GetCommandLineW();
  const std::wstring_view wide = line != nullptr ? std::wstring_view(line) : std::wstring_view();
  return split_command_line(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

// When the temporary folder is unknown the check passes: refusing to run
// would block every user whose profile is odd, for a rare convenience check.
bool detect_archive_run() {
  const std::optional<std::string> program = current_program_path();
  const std::optional<std::string> temp = temp_directory();
  if (!program || !temp) {
    return false;
  }
  return is_archive_run(*program, *temp);
}

void wait_if_asked(const std::vector<std::string>& args) {
  if (const auto target = wait_for_process_target(args, current_process_id())) {
    wait_for_process_exit(*target);
  }
}

void enter_mode(WindowContext& context, bool archive_run, const RunFlags& flags, HWND window) {
  UiState& state = context.state;
  if (archive_run) {
    state.screen = Screen::Failed;
    state.message = kArchiveRunMessage;
    state.intro_tick = kIntroIdle;
    state.policy_ready = false;
    state.progress = 0;
    ::InvalidateRect(window, nullptr, FALSE);
    ::UpdateWindow(window);
    return;
  }
  if (flags.preview_startup) {
    state.screen = Screen::Checking;
    state.message.reset();
    state.frame_counter = 0;
    return;
  }
  if (flags.launch_main) {
    state.screen = Screen::Checking;
    state.message.reset();
    state.frame_counter = 0;
    ProgressChannel channel = open_progress_queue();
    receiver_slot().park(std::move(channel.receiver));
    if (!state.install_dir) {
      state.screen = Screen::Failed;
      state.message = kNoInstallDirMessage;
      return;
    }
    start_launch(state.install_dir->path, std::move(channel.sender));
    return;
  }
  start_policy_check(state, receiver_slot());
}

}  // namespace

int run_assistant(HINSTANCE instance) {
  return run_assistant(
      instance, [](LauncherSource source) { return default_ui_services(std::move(source)); });
}

int run_assistant(HINSTANCE instance, const UiServicesFactory& make_services) {
  const std::vector<std::string> args = command_line_arguments();
  const RunFlags flags = parse_run_flags(args);
  // The startup launcher is copied from this program's own file, and only
  // from the handle taken here, before anything that takes time (the
  // archive check, a wait of possibly hours): whoever may change the folder
  // we were started from could otherwise move this file away and put their
  // own under its name. Launch mode copies nothing and must not keep its own
  // file from being replaced by an update.
  LauncherSource launcher_source = flags.launch_mode() ? LauncherSource() : hold_own_image();
  const bool archive_run = detect_archive_run();
  wait_if_asked(args);

  WindowContext context;
  context.services = make_services(std::move(launcher_source));
  context.state.launch_mode = flags.launch_mode();
  context.state.open_after_finish = flags.open_after_finish();
  context.state.auto_continue = flags.auto_continue();

  ::SetProcessDPIAware();

  // The data directory may predate its protection, or another account may
  // have made it first: it is put right before discovery reads the record
  // in it. A failure only means the record is not trusted this time.
  (void)secure_data_directory();
  const std::optional<std::string> dir =
      choose_install_dir(args, flags, current_program_path(),
                         [] { return std::optional<std::string>(discover_install_location()); });
  if (dir) {
    context.state.install_dir = InstallDir{*dir, false};
  }
  if (!flags.launch_mode()) {
    // Before the check rates it: an installation an interrupted update left
    // behind is put back when that can be proven, rather than refused.
    if (dir) {
      context.services.recover_interrupted_update(*dir);
    }
    apply_environment_check(context.state, context.services.check_environment(dir));
  }

  if (!register_window_class(instance)) {
    return 0;
  }
  HWND window = create_main_window(instance, context);
  if (window == nullptr) {
    return 0;
  }
  enter_mode(context, archive_run, flags, window);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // The loop can also end while the window still exists (the workbench was
  // opened after finishing); take it down before its context goes away.
  if (::IsWindow(window)) {
    ::DestroyWindow(window);
  }
  return 0;
}

}  // namespace velmo
