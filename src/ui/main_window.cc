#include "ui/main_window.h"

#include <dwmapi.h>

#include <optional>
#include <string>

#include "app/receiver_slot.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "ui/button_states.h"
#include "ui/embedded_image_view.h"
#include "ui/folder_dialog.h"
#include "ui/gdi_painter.h"
#include "ui/main_layout.h"
#include "ui/main_view_builder.h"
#include "ui/screen_actions.h"
#include "ui/startup_layout.h"
#include "ui/text_inputs.h"
#include "ui/ui_tick.h"
#include "ui/window_input.h"

namespace velmo {

namespace {

// DWMWA_WINDOW_CORNER_PREFERENCE and DWMWCP_ROUNDSMALL; older SDK headers
// lack the names, older systems ignore the request.
constexpr DWORD kCornerPreferenceAttribute = 33;
constexpr DWORD kRoundSmall = 3;

WindowContext* context_of(HWND window) {
  return reinterpret_cast<WindowContext*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool is_busy(const UiState& state) {
  return state.screen == Screen::Downloading || state.screen == Screen::InstallInProgress;
}

// Paints into an off-screen bitmap first so the window never flickers. The
// texts are worded afresh for every paint, never cached.
void paint(HWND window, const WindowContext& context) {
  ScopedPaint paint(window);
  RECT client{};
  ::GetClientRect(window, &client);
  const DrawList steps =
      context.state.launch_mode
          ? layout_startup_window(build_startup_view(context.state))
          : layout_main_window(build_main_view(context.state, text_inputs(context.services)),
                               context.hover.levels);
  paint_double_buffered(
      paint.dc(), client.right, client.bottom, steps,
      [](ImageId image) -> std::optional<DibView> { return embedded_image_view(image); });
}

uint8_t hit_at(const UiState& state, POINT client_point) {
  return hit_test(is_busy(state), primary_active(state), client_point.x, client_point.y);
}

void show_cursor_for(uint8_t hit) {
  const bool hand = cursor_for(hit) == CursorShape::kHand;
  ::SetCursor(::LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
}

// A new hovered button starts (or restarts) the fade timer.
void hover(HWND window, WindowContext& context, uint8_t hit) {
  if (set_hovered(context.hover, hit)) {
    ::SetTimer(window, kHoverTimer, kHoverStepMilliseconds, nullptr);
  }
}

// The pointer in client coordinates, or nothing outside the client area.
std::optional<POINT> pointer_in_client(HWND window) {
  POINT point{};
  if (!::GetCursorPos(&point) || !::ScreenToClient(window, &point)) {
    return std::nullopt;
  }
  RECT client{};
  ::GetClientRect(window, &client);
  if (!::PtInRect(&client, point)) {
    return std::nullopt;
  }
  return point;
}

// After a change of screen the buttons under a resting pointer may have
// become active or inactive: look again before repainting.
void refresh_hover(HWND window, WindowContext& context) {
  const std::optional<POINT> point = pointer_in_client(window);
  const uint8_t hit = point ? hit_at(context.state, *point) : kHitNone;
  hover(window, context, hit);
  if (point) {
    show_cursor_for(hit);
  }
}

void on_tick(HWND window, WindowContext& context) {
  switch (on_timer(context.state, receiver_slot(), context.services)) {
    case AfterTimer::Quit:
      ::PostQuitMessage(0);
      return;
    case AfterTimer::DestroyWindow:
      ::DestroyWindow(window);
      return;
    case AfterTimer::Repaint:
      if (!context.state.launch_mode) {
        refresh_hover(window, context);
      }
      ::InvalidateRect(window, nullptr, FALSE);
      return;
    case AfterTimer::Unchanged:
      return;
  }
}

void on_hover_timer(HWND window, WindowContext& context) {
  const HoverStepResult step = step_hover(context.hover.levels, context.hover.hovered);
  if (step.repaint) {
    ::InvalidateRect(window, nullptr, FALSE);
  }
  if (step.stop_timer) {
    ::KillTimer(window, kHoverTimer);
  }
}

POINT point_of(LPARAM lparam) {
  return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
}

void on_mouse_move(HWND window, WindowContext& context, LPARAM lparam) {
  if (context.state.launch_mode) {
    show_cursor_for(kHitNone);
    return;
  }
  if (!context.hover.leave_tracking_requested) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
    // A failure leaves the flag clear, so the next move asks again.
    context.hover.leave_tracking_requested = ::TrackMouseEvent(&track) != FALSE;
  }
  const uint8_t hit = hit_at(context.state, point_of(lparam));
  hover(window, context, hit);
  show_cursor_for(hit);
}

void on_mouse_leave(HWND window, WindowContext& context) {
  context.hover.leave_tracking_requested = false;
  hover(window, context, kHitNone);
  show_cursor_for(kHitNone);
}

LRESULT on_set_cursor(HWND window, WindowContext& context, WPARAM wparam, LPARAM lparam) {
  if (context.state.launch_mode) {
    show_cursor_for(kHitNone);
    return TRUE;
  }
  if (LOWORD(lparam) != HTCLIENT) {
    return ::DefWindowProcW(window, WM_SETCURSOR, wparam, lparam);
  }
  const std::optional<POINT> point = pointer_in_client(window);
  show_cursor_for(point ? hit_at(context.state, *point) : kHitNone);
  return TRUE;
}

Button button_of(HoverButton target) {
  switch (target) {
    case HoverButton::kClose:
      return Button::Close;
    case HoverButton::kChooseDirectory:
      return Button::ChooseDirectory;
    case HoverButton::kSecondary:
      return Button::Secondary;
    case HoverButton::kPrimary:
      return Button::Primary;
  }
  return Button::Close;
}

void on_click(HWND window, WindowContext& context, LPARAM lparam) {
  if (context.state.launch_mode) {
    return;
  }
  const POINT point = point_of(lparam);
  const std::optional<HoverButton> target = click_target(point.x, point.y);
  if (!target) {
    return;
  }
  if (click(context.state, button_of(*target), context.services) == AfterInput::DestroyWindow) {
    ::DestroyWindow(window);
    return;
  }
  ::InvalidateRect(window, nullptr, FALSE);
}

void request_close(HWND window, const WindowContext& context) {
  if (close_requested(context.state)) {
    ::DestroyWindow(window);
  }
}

LRESULT hit_test(HWND window, LPARAM lparam, const WindowContext& context) {
  POINT point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  ::ScreenToClient(window, &point);
  const bool startup = context.state.launch_mode;
  const LONG drag_right = startup ? kStartupWidth : 680;
  const LONG drag_bottom = startup ? 32 : 34;
  return (point.x < drag_right && point.y < drag_bottom && point.x >= 0 && point.y >= 0) ? HTCAPTION
                                                                                         : HTCLIENT;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  WindowContext* context = context_of(window);
  if (context == nullptr) {
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  switch (message) {
    case WM_PAINT:
      paint(window, *context);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wparam == kTickTimer) {
        on_tick(window, *context);
      } else if (wparam == kHoverTimer) {
        on_hover_timer(window, *context);
      }
      return 0;
    case WM_NCHITTEST:
      return hit_test(window, lparam, *context);
    case WM_SETCURSOR:
      return on_set_cursor(window, *context, wparam, lparam);
    case WM_MOUSEMOVE:
      on_mouse_move(window, *context, lparam);
      return 0;
    case WM_MOUSELEAVE:
      on_mouse_leave(window, *context);
      return 0;
    case WM_LBUTTONDOWN:
      on_click(window, *context, lparam);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        request_close(window, *context);
      }
      return 0;
    case WM_CLOSE:
      request_close(window, *context);
      return 0;
    case WM_DESTROY:
      ::KillTimer(window, kHoverTimer);
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int centred_coordinate(int screen_size, int window_size) {
  if (screen_size <= window_size) {
    return CW_USEDEFAULT;
  }
  return (screen_size - window_size) / 2;
}

bool register_window_class(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DROPSHADOW;
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (window_class.hIcon == nullptr) {
    window_class.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  }
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = nullptr;
  window_class.lpszClassName = kWindowClassName;
  return ::RegisterClassExW(&window_class) != 0;
}

HWND create_main_window(HINSTANCE instance, WindowContext& context) {
  const bool startup = context.state.launch_mode;
  const int width = startup ? kStartupWidth : kAssistantWidth;
  const int height = startup ? kStartupHeight : kAssistantHeight;
  const int x = centred_coordinate(::GetSystemMetrics(SM_CXSCREEN), width);
  const int y = centred_coordinate(::GetSystemMetrics(SM_CYSCREEN), height);
  const std::wstring title = to_wide(startup ? kStartupTitle : kAssistantTitle);

  HWND window = ::CreateWindowExW(WS_EX_APPWINDOW, kWindowClassName, title.c_str(), WS_POPUP, x, y,
                                  width, height, nullptr, nullptr, instance, &context);
  if (window == nullptr) {
    return nullptr;
  }
  context.services.choose_folder = [window] { return show_folder_dialog(window); };
  const DWORD corner = kRoundSmall;
  ::DwmSetWindowAttribute(window, kCornerPreferenceAttribute, &corner, sizeof(corner));
  ::SetTimer(window, kTickTimer, kTickMilliseconds, nullptr);
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  return window;
}

}  // namespace velmo
