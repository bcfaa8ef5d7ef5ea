#ifndef VELMO_PLATFORM_WIN_HANDLES_H_
#define VELMO_PLATFORM_WIN_HANDLES_H_

#include <windows.h>

#include <bcrypt.h>
#include <objbase.h>
#include <restartmanager.h>
#include <winhttp.h>

#include "platform/unique_resource.h"

namespace velmo {

// Kernel objects: files, processes, threads, events. Creating calls report
// failure as NULL or INVALID_HANDLE_VALUE depending on the call; neither is
// ever closed.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void close(Type h) { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// WinHTTP session, connection and request handles.
struct InternetHandleTraits {
  using Type = HINTERNET;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::WinHttpCloseHandle(h); }
};
using UniqueInternet = UniqueResource<InternetHandleTraits>;

struct ModuleTraits {
  using Type = HMODULE;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::FreeLibrary(h); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

// Directory enumerations (FindFirstFileW / FindFirstFileExW).
struct FindHandleTraits {
  using Type = HANDLE;
  static Type invalid() { return INVALID_HANDLE_VALUE; }
  static bool is_valid(Type h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void close(Type h) { ::FindClose(h); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

// Restart Manager sessions: a DWORD handle that RmStartSession hands out and
// RmEndSession must end on every path, or the session leaks system-wide.
struct RestartManagerSessionTraits {
  using Type = DWORD;
  static Type invalid() { return static_cast<DWORD>(-1); }
  static bool is_valid(Type h) { return h != static_cast<DWORD>(-1); }
  static void close(Type h) { ::RmEndSession(h); }
};
using UniqueRestartManagerSession = UniqueResource<RestartManagerSessionTraits>;

struct IconTraits {
  using Type = HICON;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::DestroyIcon(h); }
};
using UniqueIcon = UniqueResource<IconTraits>;

struct BcryptAlgorithmTraits {
  using Type = BCRYPT_ALG_HANDLE;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
using UniqueBcryptAlgorithm = UniqueResource<BcryptAlgorithmTraits>;

struct BcryptHashTraits {
  using Type = BCRYPT_HASH_HANDLE;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::BCryptDestroyHash(h); }
};
using UniqueBcryptHash = UniqueResource<BcryptHashTraits>;

// Pens, brushes, fonts, bitmaps and regions.
template <typename T>
struct GdiObjectTraits {
  using Type = T;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::DeleteObject(h); }
};
template <typename T>
using UniqueGdiObject = UniqueResource<GdiObjectTraits<T>>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueRegion = UniqueGdiObject<HRGN>;

// Memory device contexts (CreateCompatibleDC).
struct MemoryDcTraits {
  using Type = HDC;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::DeleteDC(h); }
};
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Memory the shell and COM hand out (item id lists, known-folder paths).
struct CoTaskMemTraits {
  using Type = void*;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type p) { return p != nullptr; }
  static void close(Type p) { ::CoTaskMemFree(p); }
};
using UniqueCoTaskMem = UniqueResource<CoTaskMemTraits>;

// Memory the security calls hand out (descriptors, SID strings).
struct LocalMemTraits {
  using Type = void*;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type p) { return p != nullptr; }
  static void close(Type p) { ::LocalFree(p); }
};
using UniqueLocalMem = UniqueResource<LocalMemTraits>;

struct WindowTraits {
  using Type = HWND;
  static Type invalid() { return nullptr; }
  static bool is_valid(Type h) { return h != nullptr; }
  static void close(Type h) { ::DestroyWindow(h); }
};
using UniqueWindow = UniqueResource<WindowTraits>;

// Restores the object that was selected into a DC before, on every path.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ~ScopedSelectObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) {
      ::SelectObject(dc_, previous_);
    }
  }
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// BeginPaint / EndPaint as one scope.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window) { dc_ = ::BeginPaint(window_, &paint_); }
  ~ScopedPaint() { ::EndPaint(window_, &paint_); }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;

  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// A window's DC from GetDC, released to that window.
class ScopedWindowDc {
 public:
  explicit ScopedWindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~ScopedWindowDc() {
    if (dc_ != nullptr) {
      ::ReleaseDC(window_, dc_);
    }
  }
  ScopedWindowDc(const ScopedWindowDc&) = delete;
  ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;

  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// COM on the calling thread for the scope's lifetime; uninitialises only if
// the initialisation succeeded (S_FALSE included, as COM requires).
class ScopedComApartment {
 public:
  explicit ScopedComApartment(DWORD model) : result_(::CoInitializeEx(nullptr, model)) {}
  ~ScopedComApartment() {
    if (SUCCEEDED(result_)) {
      ::CoUninitialize();
    }
  }
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;

  HRESULT result() const { return result_; }
  bool succeeded() const { return SUCCEEDED(result_); }

 private:
  HRESULT result_;
};

// One reference to a COM interface.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

  void reset() {
    if (ptr_ != nullptr) {
      std::exchange(ptr_, nullptr)->Release();
    }
  }
  T** put() {
    reset();
    return &ptr_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

}  // namespace velmo

#endif  // VELMO_PLATFORM_WIN_HANDLES_H_
