#include "product_install/bundle_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "bundle_builder.h"

namespace velmo {
namespace {

using test::BuiltBundle;
using test::BundleRecipe;
using test::Bytes;

constexpr char kNoBundle[] = "安装包不包含固定助手更新清单；请使用完整安装方式升级一次。";
constexpr char kBadHeader[] = "安装包中的固定助手更新清单无效。";
constexpr char kTarget[] = "安装包中的固定助手更新清单与目标版本不一致。";
constexpr char kFormat[] = "安装包中的固定助手更新清单格式无效。";
constexpr char kSignatureRange[] = "更新数据包签名范围无效。";

struct LayoutCase {
  const char* name;
  std::function<void(BundleRecipe&)> edit;
  // After building: damage no recipe field describes (bytes patched in place).
  std::function<void(BuiltBundle&)> patch;
  // Empty: the bundle verifies.
  std::string message;
};

void no_patch(BuiltBundle&) {}

// A manifest whose payload ranges are computed from where the recipe puts the
// main program and the helper.
std::function<void(BundleRecipe&)> edit_manifest(std::function<void(BundleManifest&)> change) {
  return [change](BundleRecipe& recipe) {
    const uint64_t main_offset = test::make_pe_image(recipe.pe).size();
    BundleManifest manifest = test::default_manifest(recipe, main_offset);
    change(manifest);
    recipe.manifest_override = manifest;
  };
}

std::string manifest_json(const BundleRecipe& recipe, const std::string& extra) {
  const BundleManifest m = test::default_manifest(recipe, test::make_pe_image(recipe.pe).size());
  std::string json = serialize_bundle_manifest(m);
  json.insert(1, extra);
  return json;
}

const std::vector<LayoutCase>& layout_cases() {
  static const std::vector<LayoutCase> cases = {
      {"Unsigned", [](BundleRecipe&) {}, no_patch, ""},
      {"UnsignedWithPadding", [](BundleRecipe& s) { s.pad = 5; }, no_patch, ""},
      {"SignedPadZero", [](BundleRecipe& s) { s.certificate_bytes = 200; }, no_patch, ""},
      {"SignedPadThree",
       [](BundleRecipe& s) {
         s.certificate_bytes = 200;
         s.pad = 3;
       },
       no_patch, ""},
      {"SignedPadSeven",
       [](BundleRecipe& s) {
         s.certificate_bytes = 8;
         s.pad = 7;
       },
       no_patch, ""},
      {"PadEightIsTooFar", [](BundleRecipe& s) { s.pad = 8; }, no_patch, kNoBundle},
      {"NonZeroPadByte",
       [](BundleRecipe& s) {
         s.certificate_bytes = 200;
         s.pad = 3;
         s.pad_byte = std::byte{1};
       },
       no_patch, kNoBundle},
      {"LengthZero", [](BundleRecipe& s) { s.header_length = 0; }, no_patch, kBadHeader},
      {"LengthAboveLimit", [](BundleRecipe& s) { s.header_length = 65537; }, no_patch, kBadHeader},
      {"LengthBeyondStartOfFile", [](BundleRecipe& s) { s.header_length = 60000; }, no_patch,
       kBadHeader},
      {"FormatVersionTwo", [](BundleRecipe& s) { s.format_version = 2; }, no_patch, kBadHeader},
      {"ReservedSet", [](BundleRecipe& s) { s.reserved = 1; }, no_patch, kBadHeader},
      {"ManifestDigestWrong", [](BundleRecipe& s) { s.corrupt_manifest_digest = true; }, no_patch,
       "安装包中的固定助手更新清单校验失败。"},
      {"UnknownKeyAccepted",
       [](BundleRecipe& s) { s.manifest_text = manifest_json(s, R"("builtBy":{"a":[1]},)"); },
       no_patch, ""},
      {"DuplicateKey",
       [](BundleRecipe& s) { s.manifest_text = manifest_json(s, R"("version":"1.10.0",)"); },
       no_patch, kFormat},
      {"NotJson", [](BundleRecipe& s) { s.manifest_text = "{\"schemaVersion\":1"; }, no_patch,
       kFormat},
      {"SchemaVersionTwo", [](BundleRecipe& s) { s.schema_version = 2; }, no_patch, kTarget},
      {"WrongVersion", [](BundleRecipe& s) { s.version = "1.9.0"; }, no_patch, kTarget},
      {"VersionNotNormalised", [](BundleRecipe& s) { s.version = "01.10.0"; }, no_patch, kTarget},
      {"WrongProduct", [](BundleRecipe& s) { s.product = "VelmoQen"; }, no_patch, kTarget},
      {"UpperAndLowerCaseDigests", edit_manifest([](BundleManifest& m) {
         for (char& c : m.startup_helper.sha256) {
           c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         }
       }),
       no_patch, ""},
      // The builder puts the helper right before the manifest, so its range
      // ends exactly at M.
      {"PayloadEndingExactlyAtManifest", [](BundleRecipe&) {}, no_patch, ""},
      {"PayloadOneByteIntoManifest",
       edit_manifest([](BundleManifest& m) { m.startup_helper.bytes += 1; }), no_patch,
       "更新清单中的固定更新助手超出可信安装包范围。"},
      {"OverflowingRange",
       edit_manifest([](BundleManifest& m) { m.main_program.offset = UINT64_MAX - 2; }), no_patch,
       "更新清单中的受保护主程序范围溢出。"},
      {"ZeroBytes", edit_manifest([](BundleManifest& m) { m.main_program.bytes = 0; }), no_patch,
       "更新清单中的受保护主程序信息无效。"},
      {"ShortDigest", edit_manifest([](BundleManifest& m) { m.main_program.sha256.pop_back(); }),
       no_patch, "更新清单中的受保护主程序信息无效。"},
      {"NonHexDigest", edit_manifest([](BundleManifest& m) { m.startup_helper.sha256[10] = 'g'; }),
       no_patch, "更新清单中的固定更新助手信息无效。"},
      {"PayloadContentChanged", [](BundleRecipe&) {},
       [](BuiltBundle& b) { b.file[b.manifest.main_program.offset + 3] ^= std::byte{1}; },
       "安装包中的受保护主程序校验失败。"},
      {"SecurityDirectoryOffsetWithoutSize",
       [](BundleRecipe& s) {
         s.pe.security_offset = 100;
         s.pe.security_size = 0;
       },
       no_patch, kSignatureRange},
      {"SecurityDirectorySizeWithoutOffset", [](BundleRecipe& s) { s.pe.security_size = 8; },
       no_patch, kSignatureRange},
      {"SecurityDirectoryBeyondFile",
       [](BundleRecipe& s) {
         s.pe.security_offset = 1000;
         s.pe.security_size = 100000;
       },
       no_patch, kSignatureRange},
      {"FewDirectoriesMeansUnsigned",
       [](BundleRecipe& s) {
         s.pe.directory_count = 4;
         s.pe.security_offset = 5;  // ignored: there is no entry 4
       },
       no_patch, ""},
      {"ShortOptionalHeaderMeansUnsigned",
       [](BundleRecipe& s) {
         s.pe.optional_size = 112 + 39;
         s.pe.security_offset = 5;
       },
       no_patch, ""},
      {"Pe32Layout",
       [](BundleRecipe& s) {
         s.pe.optional_magic = 0x10B;
         s.pe.optional_size = 224;
         s.certificate_bytes = 16;
       },
       no_patch, ""},
      {"UnsupportedOptionalMagic", [](BundleRecipe& s) { s.pe.optional_magic = 0x107; }, no_patch,
       "更新数据包 PE 类型不受支持。"},
      {"OptionalHeaderOfOneByte", [](BundleRecipe& s) { s.pe.optional_size = 1; }, no_patch,
       "更新数据包可选头无效。"},
      {"NoMz", [](BundleRecipe&) {}, [](BuiltBundle& b) { b.file[0] = std::byte{'N'}; },
       "更新数据包缺少 Windows 程序标识。"},
      {"NoPeSignature", [](BundleRecipe&) {}, [](BuiltBundle& b) { b.file[66] = std::byte{1}; },
       "更新数据包 PE 标识无效。"},
      {"PeHeaderBeyondFile", [](BundleRecipe&) {},
       [](BuiltBundle& b) { test::put_le(b.file, 60, 0x7FFFFFF0, 4); }, "读取更新数据失败：*"},
      {"ShorterThan128Bytes", [](BundleRecipe&) {}, [](BuiltBundle& b) { b.file.resize(127); },
       "更新数据包不是有效的 Windows 程序。"},
  };
  return cases;
}

class BundleLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(BundleLayoutTest, ReaderAcceptsOrRefusesWithTheMessage) {
  const LayoutCase& c = GetParam();
  BundleRecipe recipe;
  c.edit(recipe);
  BuiltBundle built = test::build_bundle(recipe);
  c.patch(built);
  MemoryBundleSource source(built.file);
  const Result<VerifiedBundle> bundle = read_verified_bundle(source, built.file.size(), "1.10.0");
  if (c.message.empty()) {
    ASSERT_TRUE(bundle.has_value()) << bundle.error();
    EXPECT_EQ(bundle->search_end, built.search_end);
    EXPECT_EQ(bundle->header_offset, built.header_offset);
    EXPECT_EQ(bundle->manifest_offset, built.manifest_offset);
    EXPECT_EQ(bundle->manifest, built.manifest);
    return;
  }
  ASSERT_FALSE(bundle.has_value());
  if (c.message.ends_with('*')) {
    EXPECT_TRUE(bundle.error().starts_with(c.message.substr(0, c.message.size() - 1)))
        << bundle.error();
  } else {
    EXPECT_EQ(bundle.error(), c.message);
  }
}

INSTANTIATE_TEST_SUITE_P(Table,
                         BundleLayoutTest,
                         testing::ValuesIn(layout_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BundleManifestLengthTest, LengthsAtTheLimitsOfTheRange) {
  // L = 1 and L = 65536 are inside the range: the header is accepted and the
  // manifest read (and then refused as JSON, or accepted when it is one).
  BundleRecipe one;
  one.manifest_text = "1";
  BuiltBundle tiny = test::build_bundle(one);
  MemoryBundleSource tiny_source(tiny.file);
  EXPECT_EQ(read_verified_bundle(tiny_source, tiny.file.size(), "1.10.0").error(), kFormat);

  BundleRecipe large;
  std::string text = serialize_bundle_manifest(
      test::default_manifest(large, test::make_pe_image(large.pe).size()));
  text.append(65536 - text.size(), ' ');
  large.manifest_text = text;
  BuiltBundle big = test::build_bundle(large);
  MemoryBundleSource big_source(big.file);
  const Result<VerifiedBundle> bundle = read_verified_bundle(big_source, big.file.size(), "1.10.0");
  ASSERT_TRUE(bundle.has_value()) << bundle.error();
  EXPECT_EQ(bundle->header_offset - bundle->manifest_offset, 65536u);
}

TEST(BundleReadTest, ReadExactAtReportsAShortRead) {
  const Bytes data = test::bytes_of("0123456789");
  MemoryBundleSource source(data);
  EXPECT_EQ(read_exact_at(source, 2, 3).value(), test::bytes_of("234"));
  const Result<std::vector<std::byte>> short_read = read_exact_at(source, 8, 3);
  ASSERT_FALSE(short_read.has_value());
  EXPECT_TRUE(short_read.error().starts_with("读取更新数据失败：")) << short_read.error();
}

TEST(BundleReadTest, OfflineReadingSkipsOnlyTheVersionCheck) {
  BundleRecipe recipe;
  recipe.version = "2.0.0";
  BuiltBundle built = test::build_bundle(recipe);
  MemoryBundleSource source(built.file);
  EXPECT_TRUE(read_verified_bundle(source, built.file.size(), std::nullopt).has_value());
  recipe.schema_version = 3;
  built = test::build_bundle(recipe);
  MemoryBundleSource other(built.file);
  EXPECT_EQ(read_verified_bundle(other, built.file.size(), std::nullopt).error(), kTarget);
}

}  // namespace
}  // namespace velmo
