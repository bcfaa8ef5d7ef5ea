#include "platform/win/handles.h"

#include <gtest/gtest.h>

#include <thread>

namespace velmo {
namespace {

bool handle_is_open(HANDLE handle) {
  DWORD flags = 0;
  return ::GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandleTest, ClosesOnDestruction) {
  HANDLE raw = nullptr;
  {
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event.is_valid());
    raw = event.get();
    EXPECT_TRUE(handle_is_open(raw));
  }
  EXPECT_FALSE(handle_is_open(raw));
}

TEST(UniqueHandleTest, MoveTransfersOwnership) {
  UniqueHandle first(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE raw = first.get();
  UniqueHandle second = std::move(first);
  EXPECT_FALSE(first.is_valid());
  EXPECT_EQ(second.get(), raw);
  EXPECT_TRUE(handle_is_open(raw));
  second.reset();
  EXPECT_FALSE(handle_is_open(raw));
}

TEST(UniqueHandleTest, ReleaseGivesUpOwnership) {
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE raw = event.release();
  EXPECT_FALSE(event.is_valid());
  EXPECT_TRUE(handle_is_open(raw));
  ::CloseHandle(raw);
}

TEST(UniqueHandleTest, InvalidHandleValueIsNotValid) {
  UniqueHandle failed(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed.is_valid());
  EXPECT_FALSE(static_cast<bool>(failed));
}

TEST(UniqueGdiObjectTest, DeletesTheObject) {
  HBRUSH raw = nullptr;
  {
    UniqueBrush brush(::CreateSolidBrush(RGB(30, 30, 30)));
    ASSERT_TRUE(brush.is_valid());
    raw = brush.get();
    EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(::GetObjectType(raw), 0u);
}

TEST(ScopedSelectObjectTest, RestoresThePreviousObject) {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc.is_valid());
  UniqueBrush brush(::CreateSolidBrush(RGB(1, 2, 3)));
  const HGDIOBJ before = ::GetCurrentObject(dc.get(), OBJ_BRUSH);
  {
    ScopedSelectObject select(dc.get(), brush.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), before);
}

TEST(UniqueFindHandleTest, EndsTheEnumeration) {
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW(L"C:\\windows\\*", &data));
  ASSERT_TRUE(find.is_valid());
  const HANDLE raw = find.get();
  EXPECT_TRUE(::FindNextFileW(raw, &data));
  find.reset();
  EXPECT_FALSE(::FindNextFileW(raw, &data));
}

TEST(UniqueFindHandleTest, FailedSearchIsNotValid) {
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW(L"C:\\no-such-folder-velmo\\*", &data));
  EXPECT_FALSE(find.is_valid());
}

// Session handles are small numbers, 0 included: only -1 means none. (Wine's
// RmEndSession cannot tell whether a session was ended, so closing itself is
// covered by the portable UniqueResource tests.)
TEST(UniqueRestartManagerSessionTest, HoldsTheSessionFromPut) {
  UniqueRestartManagerSession session;
  EXPECT_FALSE(session.is_valid());
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  ASSERT_EQ(::RmStartSession(session.put(), 0, key), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(session.is_valid());
  EXPECT_TRUE(UniqueRestartManagerSession(0).is_valid());
  session.reset();
  EXPECT_FALSE(session.is_valid());
}

TEST(UniqueIconTest, DestroysTheIcon) {
  UniqueIcon icon(::CopyIcon(::LoadIconW(nullptr, IDI_APPLICATION)));
  ASSERT_TRUE(icon.is_valid());
  const HICON raw = icon.get();
  ICONINFO info{};
  ASSERT_TRUE(::GetIconInfo(raw, &info));
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  icon.reset();
  EXPECT_FALSE(::GetIconInfo(raw, &info));
}

TEST(UniqueInternetTest, ClosesTheSession) {
  UniqueInternet session(::WinHttpOpen(L"velmo-test", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  ASSERT_TRUE(session.is_valid());
  const HINTERNET raw = session.get();
  DWORD value = 0;
  DWORD size = sizeof(value);
  EXPECT_TRUE(::WinHttpQueryOption(raw, WINHTTP_OPTION_CONNECT_TIMEOUT, &value, &size));
  session.reset();
  EXPECT_FALSE(::WinHttpQueryOption(raw, WINHTTP_OPTION_CONNECT_TIMEOUT, &value, &size));
}

TEST(ScopedComApartmentTest, InitialisesAndBalances) {
  std::thread([] {
    {
      ScopedComApartment outer(COINIT_APARTMENTTHREADED);
      EXPECT_EQ(outer.result(), S_OK);
      ScopedComApartment nested(COINIT_APARTMENTTHREADED);
      EXPECT_EQ(nested.result(), S_FALSE);
      EXPECT_TRUE(nested.succeeded());
      ScopedComApartment other_model(COINIT_MULTITHREADED);
      EXPECT_EQ(other_model.result(), RPC_E_CHANGED_MODE);
    }
    // Fully balanced: the thread can enter a different apartment now.
    ScopedComApartment again(COINIT_MULTITHREADED);
    EXPECT_EQ(again.result(), S_OK);
  }).join();
}

class CountingUnknown : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  ULONG references = 1;
};

TEST(ComPtrTest, ReleasesOnceOnDestructionAndMove) {
  CountingUnknown object;
  {
    ComPtr<IUnknown> first;
    *first.put() = &object;
    ComPtr<IUnknown> second = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(object.references, 1u);
  }
  EXPECT_EQ(object.references, 0u);
}

}  // namespace
}  // namespace velmo
