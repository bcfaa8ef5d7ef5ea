#include "ui/main_window.h"

#include <dwmapi.h>

#include <optional>
#include <string>

#include "app/receiver_slot.h"
#include "platform/win/handles.h"
#include "platform/win/wide.h"
#include "ui/screen_actions.h"
#include "ui/ui_tick.h"

namespace velmo {

namespace {

// DWMWA_WINDOW_CORNER_PREFERENCE and DWMWCP_ROUNDSMALL; older SDK headers
// lack the names, older systems ignore the request.
constexpr DWORD kCornerPreferenceAttribute = 33;
constexpr DWORD kRoundSmall = 3;

constexpr COLORREF kBackground = RGB(0x1E, 0x1E, 0x1E);

WindowContext* context_of(HWND window) {
  return reinterpret_cast<WindowContext*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Hook for the folder dialog of the choose-directory button: it needs the
// window as its owner, so it lives here and reaches the screen logic through
// UiServices::choose_folder. Until the window's input handling shows
// SHBrowseForFolderW here, it answers like a cancelled dialog.
std::optional<std::string> show_folder_dialog(HWND /*window*/) {
  return std::nullopt;
}

// Paints into an off-screen bitmap first so the window never flickers.
void paint(HWND window) {
  ScopedPaint paint(window);
  RECT client{};
  ::GetClientRect(window, &client);
  UniqueMemoryDc memory(::CreateCompatibleDC(paint.dc()));
  UniqueBitmap bitmap(::CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
  if (!memory || !bitmap) {
    return;
  }
  ScopedSelectObject select_bitmap(memory.get(), bitmap.get());
  UniqueBrush background(::CreateSolidBrush(kBackground));
  ::FillRect(memory.get(), &client, background.get());
  ::BitBlt(paint.dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void on_tick(HWND window, WindowContext& context) {
  switch (on_timer(context.state, receiver_slot(), context.services)) {
    case AfterTimer::Quit:
      ::PostQuitMessage(0);
      return;
    case AfterTimer::Repaint:
      ::InvalidateRect(window, nullptr, FALSE);
      return;
    case AfterTimer::Unchanged:
      return;
  }
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
      paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wparam == kTickTimer) {
        on_tick(window, *context);
      }
      return 0;
    case WM_NCHITTEST:
      return hit_test(window, lparam, *context);
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        request_close(window, *context);
      }
      return 0;
    case WM_CLOSE:
      request_close(window, *context);
      return 0;
    case WM_DESTROY:
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
