#include "update_bundle/bundle_reader.h"

#include <gtest/gtest.h>

#include <functional>

#include "bundle_builder.h"

namespace velmo {
namespace {

using test::BuiltBundle;
using test::BundleSpec;
using test::Bytes;

constexpr char kNoBundle[] = "安装包不包含固定助手更新清单；请使用完整安装方式升级一次。";
constexpr char kBadHeader[] = "安装包中的固定助手更新清单无效。";
constexpr char kTarget[] = "安装包中的固定助手更新清单与目标版本不一致。";
constexpr char kFormat[] = "安装包中的固定助手更新清单格式无效。";
constexpr char kSignatureRange[] = "更新数据包签名范围无效。";

struct LayoutCase {
  const char* name;
  std::function<void(BundleSpec&)> edit;
  // After building: bytes the spec cannot express.
  std::function<void(BuiltBundle&)> patch;
  // Empty: the bundle verifies.
  std::string message;
};

void no_patch(BuiltBundle&) {}

// A manifest text whose payload ranges are computed from the spec's layout.
std::function<void(BundleSpec&)> edit_manifest(std::function<void(BundleManifest&)> change) {
  return [change](BundleSpec& spec) {
    const uint64_t main_offset = test::make_pe_image(spec.pe).size();
    BundleManifest manifest = test::default_manifest(spec, main_offset);
    change(manifest);
    spec.manifest_override = manifest;
  };
}

std::string manifest_json(const BundleSpec& spec, const std::string& extra) {
  const BundleManifest m = test::default_manifest(spec, test::make_pe_image(spec.pe).size());
  std::string json = serialize_bundle_manifest(m);
  json.insert(1, extra);
  return json;
}

const std::vector<LayoutCase>& layout_cases() {
  static const std::vector<LayoutCase> cases = {
      {"Unsigned", [](BundleSpec&) {}, no_patch, ""},
      {"UnsignedWithPadding", [](BundleSpec& s) { s.pad = 5; }, no_patch, ""},
      {"SignedPadZero", [](BundleSpec& s) { s.certificate_bytes = 200; }, no_patch, ""},
      {"SignedPadThree",
       [](BundleSpec& s) {
         s.certificate_bytes = 200;
         s.pad = 3;
       },
       no_patch, ""},
      {"SignedPadSeven",
       [](BundleSpec& s) {
         s.certificate_bytes = 8;
         s.pad = 7;
       },
       no_patch, ""},
      {"PadEightIsTooFar", [](BundleSpec& s) { s.pad = 8; }, no_patch, kNoBundle},
      {"NonZeroPadByte",
       [](BundleSpec& s) {
         s.certificate_bytes = 200;
         s.pad = 3;
         s.pad_byte = std::byte{1};
       },
       no_patch, kNoBundle},
      {"LengthZero", [](BundleSpec& s) { s.header_length = 0; }, no_patch, kBadHeader},
      {"LengthAboveLimit", [](BundleSpec& s) { s.header_length = 65537; }, no_patch, kBadHeader},
      {"LengthBeyondStartOfFile", [](BundleSpec& s) { s.header_length = 60000; }, no_patch,
       kBadHeader},
      {"FormatVersionTwo", [](BundleSpec& s) { s.format_version = 2; }, no_patch, kBadHeader},
      {"ReservedSet", [](BundleSpec& s) { s.reserved = 1; }, no_patch, kBadHeader},
      {"ManifestDigestWrong", [](BundleSpec& s) { s.corrupt_manifest_digest = true; }, no_patch,
       "安装包中的固定助手更新清单校验失败。"},
      {"UnknownKeyAccepted",
       [](BundleSpec& s) { s.manifest_text = manifest_json(s, R"("builtBy":{"a":[1]},)"); },
       no_patch, ""},
      {"DuplicateKey",
       [](BundleSpec& s) { s.manifest_text = manifest_json(s, R"("version":"1.10.0",)"); },
       no_patch, kFormat},
      {"NotJson", [](BundleSpec& s) { s.manifest_text = "{\"schemaVersion\":1"; }, no_patch,
       kFormat},
      {"SchemaVersionTwo", [](BundleSpec& s) { s.schema_version = 2; }, no_patch, kTarget},
      {"WrongVersion", [](BundleSpec& s) { s.version = "1.9.0"; }, no_patch, kTarget},
      {"VersionNotNormalised", [](BundleSpec& s) { s.version = "01.10.0"; }, no_patch, kTarget},
      {"WrongProduct", [](BundleSpec& s) { s.product = "VelmoQen"; }, no_patch, kTarget},
      {"UpperAndLowerCaseDigests", edit_manifest([](BundleManifest& m) {
         for (char& c : m.startup_helper.sha256) {
           c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         }
       }),
       no_patch, ""},
      // The builder puts the helper right before the manifest, so its range
      // ends exactly at M.
      {"PayloadEndingExactlyAtManifest", [](BundleSpec&) {}, no_patch, ""},
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
      {"PayloadContentChanged", [](BundleSpec&) {},
       [](BuiltBundle& b) { b.file[b.manifest.main_program.offset + 3] ^= std::byte{1}; },
       "安装包中的受保护主程序校验失败。"},
      {"SecurityDirectoryOffsetWithoutSize",
       [](BundleSpec& s) {
         s.pe.security_offset = 100;
         s.pe.security_size = 0;
       },
       no_patch, kSignatureRange},
      {"SecurityDirectorySizeWithoutOffset", [](BundleSpec& s) { s.pe.security_size = 8; },
       no_patch, kSignatureRange},
      {"SecurityDirectoryBeyondFile",
       [](BundleSpec& s) {
         s.pe.security_offset = 1000;
         s.pe.security_size = 100000;
       },
       no_patch, kSignatureRange},
      {"FewDirectoriesMeansUnsigned",
       [](BundleSpec& s) {
         s.pe.directory_count = 4;
         s.pe.security_offset = 5;  // ignored: there is no entry 4
       },
       no_patch, ""},
      {"ShortOptionalHeaderMeansUnsigned",
       [](BundleSpec& s) {
         s.pe.optional_size = 112 + 39;
         s.pe.security_offset = 5;
       },
       no_patch, ""},
      {"Pe32Layout",
       [](BundleSpec& s) {
         s.pe.optional_magic = 0x10B;
         s.pe.optional_size = 224;
         s.certificate_bytes = 16;
       },
       no_patch, ""},
      {"UnsupportedOptionalMagic", [](BundleSpec& s) { s.pe.optional_magic = 0x107; }, no_patch,
       "更新数据包 PE 类型不受支持。"},
      {"OptionalHeaderOfOneByte", [](BundleSpec& s) { s.pe.optional_size = 1; }, no_patch,
       "更新数据包可选头无效。"},
      {"NoMz", [](BundleSpec&) {}, [](BuiltBundle& b) { b.file[0] = std::byte{'N'}; },
       "更新数据包缺少 Windows 程序标识。"},
      {"NoPeSignature", [](BundleSpec&) {}, [](BuiltBundle& b) { b.file[66] = std::byte{1}; },
       "更新数据包 PE 标识无效。"},
      {"PeHeaderBeyondFile", [](BundleSpec&) {},
       [](BuiltBundle& b) { test::put_le(b.file, 60, 0x7FFFFFF0, 4); }, "读取更新数据失败：*"},
      {"ShorterThan128Bytes", [](BundleSpec&) {}, [](BuiltBundle& b) { b.file.resize(127); },
       "更新数据包不是有效的 Windows 程序。"},
  };
  return cases;
}

class BundleLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(BundleLayoutTest, ReaderAcceptsOrRefusesWithTheMessage) {
  const LayoutCase& c = GetParam();
  BundleSpec spec;
  c.edit(spec);
  BuiltBundle built = test::build_bundle(spec);
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
  BundleSpec one;
  one.manifest_text = "1";
  BuiltBundle tiny = test::build_bundle(one);
  MemoryBundleSource tiny_source(tiny.file);
  EXPECT_EQ(read_verified_bundle(tiny_source, tiny.file.size(), "1.10.0").error(), kFormat);

  BundleSpec large;
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
  BundleSpec spec;
  spec.version = "2.0.0";
  BuiltBundle built = test::build_bundle(spec);
  MemoryBundleSource source(built.file);
  EXPECT_TRUE(read_verified_bundle(source, built.file.size(), std::nullopt).has_value());
  spec.schema_version = 3;
  built = test::build_bundle(spec);
  MemoryBundleSource other(built.file);
  EXPECT_EQ(read_verified_bundle(other, built.file.size(), std::nullopt).error(), kTarget);
}

}  // namespace
}  // namespace velmo
