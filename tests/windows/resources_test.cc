// Reads the resources back out of the built velmo-assistant.exe, the way
// Explorer and the loader see them: a wrong path in the .rc, a lost manifest or
// a mis-encoded version string would otherwise only show on a user's machine.
//
// The executable's path comes from VELMO_ASSISTANT_EXE.

#include <windows.h>

#include "platform/win/handles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

using velmo::UniqueBitmap;
using velmo::UniqueIcon;
using velmo::UniqueModule;

// Layout of an RT_GROUP_ICON resource. Unlike an .ico file's directory, each
// entry names the RT_ICON resource that holds the image instead of an offset.
#pragma pack(push, 2)
struct GroupIconHeader {
  uint16_t reserved;
  uint16_t type;
  uint16_t count;
};
struct GroupIconEntry {
  uint8_t width;
  uint8_t height;
  uint8_t color_count;
  uint8_t reserved;
  uint16_t planes;
  uint16_t bit_count;
  uint32_t bytes_in_res;
  uint16_t id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconHeader) == 6);
static_assert(sizeof(GroupIconEntry) == 14);

constexpr wchar_t kExeVariable[] = L"VELMO_ASSISTANT_EXE";
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::string_view kSupportedOsWindows10And11 =
    R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)";

std::wstring GetEnvironment(const wchar_t* name) {
  DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) {
    return {};
  }
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), size));
  return value;
}

uint32_t ReadBigEndian32(std::span<const uint8_t> bytes, size_t offset) {
  return (uint32_t{bytes[offset]} << 24) | (uint32_t{bytes[offset + 1]} << 16) |
         (uint32_t{bytes[offset + 2]} << 8) | uint32_t{bytes[offset + 3]};
}

size_t CountOccurrences(std::string_view text, std::string_view needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string_view::npos;
       at = text.find(needle, at + needle.size())) {
    ++count;
  }
  return count;
}

class AssistantResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    exe_path_ = GetEnvironment(kExeVariable);
    ASSERT_FALSE(exe_path_.empty()) << "set VELMO_ASSISTANT_EXE to the built executable";
    // As a data file: nothing of the program runs, and no elevation is asked.
    module_.reset(LoadLibraryExW(exe_path_.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    DWORD error = module_ ? ERROR_SUCCESS : GetLastError();
    ASSERT_TRUE(module_) << "LoadLibraryExW failed with error " << error;
  }

  // The bytes of a resource, or an empty span when the module lacks it. They
  // stay valid while the module is loaded.
  std::span<const uint8_t> Resource(const wchar_t* type, int id) const {
    HRSRC info = FindResourceW(module_.get(), MAKEINTRESOURCEW(id), type);
    if (!info) {
      return {};
    }
    HGLOBAL handle = LoadResource(module_.get(), info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) {
      return {};
    }
    return {static_cast<const uint8_t*>(data), SizeofResource(module_.get(), info)};
  }

  // The whole VS_VERSIONINFO block, as VerQueryValueW expects it.
  std::vector<uint8_t> VersionInfo() const {
    DWORD size = GetFileVersionInfoSizeW(exe_path_.c_str(), nullptr);
    std::vector<uint8_t> block(size);
    if (size == 0 || !GetFileVersionInfoW(exe_path_.c_str(), 0, size, block.data())) {
      block.clear();
    }
    return block;
  }

  // A value of the zh-CN string table, or nothing when it is missing.
  std::optional<std::wstring> VersionString(const wchar_t* key) const {
    std::vector<uint8_t> block = VersionInfo();
    std::wstring query = std::wstring(L"\\StringFileInfo\\080404B0\\") + key;
    void* data = nullptr;
    UINT length = 0;
    if (block.empty() || !VerQueryValueW(block.data(), query.c_str(), &data, &length) ||
        length == 0) {
      return std::nullopt;
    }
    // Version strings are stored null-terminated.
    return std::wstring(static_cast<const wchar_t*>(data));
  }

  std::wstring exe_path_;
  UniqueModule module_;
};

TEST_F(AssistantResourcesTest, IconIsOne64PixelPngImage) {
  std::span<const uint8_t> group = Resource(RT_GROUP_ICON, 1);
  ASSERT_GE(group.size(), sizeof(GroupIconHeader));
  GroupIconHeader header;
  std::memcpy(&header, group.data(), sizeof(header));
  EXPECT_EQ(header.type, 1);
  ASSERT_EQ(header.count, 1);
  ASSERT_EQ(group.size(), sizeof(header) + sizeof(GroupIconEntry));
  GroupIconEntry entry;
  std::memcpy(&entry, group.data() + sizeof(header), sizeof(entry));
  EXPECT_EQ(int{entry.width}, 64);
  EXPECT_EQ(int{entry.height}, 64);
  EXPECT_EQ(entry.bit_count, 32);

  std::span<const uint8_t> image = Resource(RT_ICON, entry.id);
  ASSERT_EQ(image.size(), entry.bytes_in_res);
  // Signature, then the IHDR chunk: length, type, width, height, depth, colour.
  ASSERT_GE(image.size(), 26u);
  EXPECT_TRUE(std::equal(std::begin(kPngSignature), std::end(kPngSignature), image.begin()));
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(image.data()) + 12, 4),
            std::string_view("IHDR"));
  EXPECT_EQ(ReadBigEndian32(image, 16), 64u);
  EXPECT_EQ(ReadBigEndian32(image, 20), 64u);
  EXPECT_EQ(int{image[24]}, 8) << "bit depth";
  EXPECT_EQ(int{image[25]}, 6) << "colour type (RGBA)";
}

// The window class loads the icon this way; a PNG that Windows cannot decode
// would leave the title bar and taskbar with the generic icon.
TEST_F(AssistantResourcesTest, SystemDecodesIconAt64Pixels) {
  UniqueIcon icon(static_cast<HICON>(
      LoadImageW(module_.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, 64, 64, LR_DEFAULTCOLOR)));
  ASSERT_TRUE(icon);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(icon.get(), &info));
  UniqueBitmap colour(info.hbmColor);
  UniqueBitmap mask(info.hbmMask);
  ASSERT_TRUE(colour);
  BITMAP bitmap = {};
  ASSERT_EQ(GetObjectW(colour.get(), sizeof(bitmap), &bitmap), static_cast<int>(sizeof(bitmap)));
  EXPECT_EQ(bitmap.bmWidth, 64);
  EXPECT_EQ(bitmap.bmHeight, 64);
}

TEST_F(AssistantResourcesTest, ManifestRequestsElevationAndDeclaresWindows10And11) {
  std::span<const uint8_t> bytes = Resource(RT_MANIFEST, 1);
  ASSERT_FALSE(bytes.empty());
  std::string_view manifest(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  EXPECT_NE(manifest.find(R"(level="requireAdministrator")"), std::string_view::npos);
  EXPECT_EQ(CountOccurrences(manifest, kSupportedOsWindows10And11), 1u);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string_view::npos);
}

TEST_F(AssistantResourcesTest, FixedVersionIs1000) {
  std::vector<uint8_t> block = VersionInfo();
  ASSERT_FALSE(block.empty());
  void* data = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", &data, &size));
  ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
}

TEST_F(AssistantResourcesTest, TranslationIsSimplifiedChineseUnicode) {
  std::vector<uint8_t> block = VersionInfo();
  ASSERT_FALSE(block.empty());
  void* data = nullptr;
  UINT size = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &data, &size));
  ASSERT_EQ(size, 2 * sizeof(WORD));
  const auto* translation = static_cast<const WORD*>(data);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);
}

// Exact comparison also catches the .rc being read in the wrong code page.
TEST_F(AssistantResourcesTest, VersionStringsAreExact) {
  EXPECT_EQ(VersionString(L"ProductVersion"), std::wstring(L"1.0.0"));
  EXPECT_EQ(VersionString(L"FileVersion"), std::wstring(L"1.0.0"));
  EXPECT_EQ(VersionString(L"FileDescription"), std::wstring(L"安装与更新助手"));
  EXPECT_EQ(VersionString(L"ProductName"), std::wstring(L"VelmoQen工作台"));
  EXPECT_EQ(VersionString(L"CompanyName"), std::wstring(L"Velmo Qen"));
  EXPECT_EQ(VersionString(L"OriginalFilename"), std::wstring(L"velmo-assistant.exe"));
  EXPECT_EQ(VersionString(L"InternalName"), std::wstring(L"velmo-assistant"));
}

}  // namespace
