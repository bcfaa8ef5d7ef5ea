#ifndef VELMO_UI_MAIN_WINDOW_H_
#define VELMO_UI_MAIN_WINDOW_H_

#include <windows.h>

#include "ui/hover_animation.h"
#include "ui/startup_layout.h"
#include "ui/ui_events.h"
#include "ui/ui_state.h"

namespace velmo {

inline constexpr wchar_t kWindowClassName[] = L"VelmoOnlineBootstrapperPreview";
inline constexpr char kAssistantTitle[] = "Velmo Qen 工作台智能安装引导器";
inline constexpr char kStartupTitle[] = "Velmo Qen 工作台";
inline constexpr int kAssistantWidth = 720;
inline constexpr int kAssistantHeight = 620;
inline constexpr UINT_PTR kTickTimer = 1;
inline constexpr UINT kTickMilliseconds = 45;
inline constexpr UINT_PTR kHoverTimer = 2;

// Everything the window procedure works on; lives on the window thread for
// the whole message loop.
struct WindowContext {
  UiState state;
  UiServices services;
  // Only the window thread reads or writes it (mouse messages, timer 2, the
  // painter), so it needs no lock.
  HoverState hover;
};

// Registers the window class once per process. False when it cannot.
bool register_window_class(HINSTANCE instance);

// Creates the one top-level window (assistant or startup size, centred),
// requests small rounded corners, starts the tick timer, shows it.
// Returns nullptr when the window cannot be created.
HWND create_main_window(HINSTANCE instance, WindowContext& context);

// One coordinate of a centred window: (screen - window) / 2, or
// CW_USEDEFAULT where the screen is not larger than the window.
int centred_coordinate(int screen_size, int window_size);

}  // namespace velmo

#endif  // VELMO_UI_MAIN_WINDOW_H_
