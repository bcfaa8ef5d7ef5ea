#include "ui/image_decoding.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "png_builder.h"

namespace velmo {
namespace {

using test::build_png;
using test::kPngGray;
using test::kPngGrayAlpha;
using test::kPngPalette;
using test::kPngRgb;
using test::kPngRgba;
using test::PngPicture;
using test::uniform_picture;

enum class Image { kStatusIcon, kStartupEmblem };

Result<DecodedImage> decode(Image image, const std::vector<uint8_t>& png) {
  return image == Image::kStatusIcon ? decode_status_icon(png) : decode_startup_emblem(png);
}

// The first `bytes` of a file: the header survives, the image data does not.
std::vector<uint8_t> cut(std::vector<uint8_t> png, size_t bytes) {
  png.resize(bytes);
  return png;
}

std::vector<uint8_t> uniform_png(uint32_t side, uint8_t colour_type, std::vector<uint8_t> pixel) {
  return build_png(uniform_picture(side, side, colour_type, pixel));
}

PngPicture palette_picture(uint32_t side) {
  PngPicture picture = uniform_picture(side, side, kPngPalette, {0});
  picture.palette = {0x53, 0xD5, 0x9C};
  return picture;
}

struct RefusalCase {
  const char* name;
  Image image;
  std::vector<uint8_t> png;
  std::string message;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

std::vector<RefusalCase> refusal_cases() {
  const std::vector<uint8_t> text(64, 'x');
  // Signature and IHDR take 33 bytes; 45 leaves the IDAT chunk torn.
  const size_t header_only = 45;
  return {
      {"IconEmpty", Image::kStatusIcon, {}, "embedded status icon must be valid PNG"},
      {"IconText", Image::kStatusIcon, text, "embedded status icon must be valid PNG"},
      {"IconTornSignature", Image::kStatusIcon, cut(uniform_png(18, kPngRgb, {1, 2, 3}), 20),
       "embedded status icon must be valid PNG"},
      {"IconTornData", Image::kStatusIcon, cut(uniform_png(18, kPngRgb, {1, 2, 3}), header_only),
       "embedded status icon frame must decode"},
      {"IconGray", Image::kStatusIcon, uniform_png(18, kPngGray, {128}),
       "embedded status icon must use RGB or RGBA pixels"},
      {"IconGrayAlpha", Image::kStatusIcon, uniform_png(18, kPngGrayAlpha, {128, 255}),
       "embedded status icon must use RGB or RGBA pixels"},
      {"IconPalette", Image::kStatusIcon, build_png(palette_picture(18)),
       "embedded status icon must use RGB or RGBA pixels"},
      {"EmblemText", Image::kStartupEmblem, text, "embedded startup logo must be valid PNG"},
      {"EmblemTornData", Image::kStartupEmblem,
       cut(uniform_png(512, kPngRgba, {1, 2, 3, 4}), header_only),
       "embedded startup logo frame must decode"},
      {"EmblemGray", Image::kStartupEmblem, uniform_png(512, kPngGray, {128}),
       "embedded startup logo must use RGB or RGBA pixels"},
      {"EmblemPalette", Image::kStartupEmblem, build_png(palette_picture(512)),
       "embedded startup logo must use RGB or RGBA pixels"},
      {"EmblemIconSized", Image::kStartupEmblem, uniform_png(18, kPngRgba, {1, 2, 3, 4}),
       "embedded startup logo must be 512 × 512 pixels"},
      {"EmblemOneColumnShort", Image::kStartupEmblem,
       build_png(uniform_picture(511, 512, kPngRgba, {1, 2, 3, 4})),
       "embedded startup logo must be 512 × 512 pixels"},
      {"EmblemOneRowShort", Image::kStartupEmblem,
       build_png(uniform_picture(512, 511, kPngRgb, {1, 2, 3})),
       "embedded startup logo must be 512 × 512 pixels"},
  };
}

class ImageRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(ImageRefusalTest, NamesTheStepThatFailed) {
  const RefusalCase& c = GetParam();
  Result<DecodedImage> decoded = decode(c.image, c.png);
  ASSERT_FALSE(decoded.has_value());
  EXPECT_EQ(decoded.error(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Images,
                         ImageRefusalTest,
                         testing::ValuesIn(refusal_cases()),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConversionCase {
  const char* name;
  Image image;
  uint32_t side;
  uint8_t colour_type;
  std::vector<uint8_t> pixel;             // r, g, b[, a] in the file
  std::array<uint8_t, 4> expected_pixel;  // b, g, r, 0 in the buffer
};

// Failures name the case rather than dump its bytes.
void PrintTo(const ConversionCase& c, std::ostream* out) {
  *out << c.name;
}

// Blended values worked out by hand, e.g. blue 50 at alpha 128:
// (50 * 128 + 127 * 30) / 255 = 10210 / 255 = 40.04 -> 40.
const ConversionCase kConversionCases[] = {
    {"IconRgbSwapsRedAndBlue", Image::kStatusIcon, 18, kPngRgb, {1, 2, 3}, {3, 2, 1, 0}},
    {"IconRgbaIgnoresAlpha", Image::kStatusIcon, 18, kPngRgba, {10, 20, 30, 0}, {30, 20, 10, 0}},
    {"IconRgbaHalfAlphaNotBlended",
     Image::kStatusIcon,
     18,
     kPngRgba,
     {200, 100, 50, 128},
     {50, 100, 200, 0}},
    {"EmblemRgbSwapsRedAndBlue", Image::kStartupEmblem, 512, kPngRgb, {1, 2, 3}, {3, 2, 1, 0}},
    {"EmblemTransparentIsWindowGrey",
     Image::kStartupEmblem,
     512,
     kPngRgba,
     {200, 100, 50, 0},
     {30, 30, 30, 0}},
    {"EmblemOpaqueKeepsItsColour",
     Image::kStartupEmblem,
     512,
     kPngRgba,
     {200, 100, 50, 255},
     {50, 100, 200, 0}},
    {"EmblemHalfTransparentBlends",
     Image::kStartupEmblem,
     512,
     kPngRgba,
     {200, 100, 50, 128},
     {40, 65, 115, 0}},
};

class ImageConversionTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ImageConversionTest, EveryPixelBecomesBlueGreenRedZero) {
  const ConversionCase& c = GetParam();
  Result<DecodedImage> decoded = decode(c.image, uniform_png(c.side, c.colour_type, c.pixel));
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  EXPECT_EQ(decoded->width, c.side);
  EXPECT_EQ(decoded->height, c.side);
  ASSERT_EQ(decoded->pixels.size(), size_t{c.side} * c.side * 4);
  size_t wrong = 0;
  for (size_t i = 0; i < decoded->pixels.size(); i += 4) {
    const std::array<uint8_t, 4> pixel = {decoded->pixels[i], decoded->pixels[i + 1],
                                          decoded->pixels[i + 2], decoded->pixels[i + 3]};
    wrong += pixel != c.expected_pixel ? 1 : 0;
  }
  EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(Images,
                         ImageConversionTest,
                         testing::ValuesIn(kConversionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// One marked pixel at column 5 of row 2 must land at byte (2 * 18 + 5) * 4:
// rows run top to bottom, without padding.
TEST(ImageDecodingTest, RowsRunTopToBottom) {
  PngPicture picture = uniform_picture(18, 18, kPngRgb, {0, 0, 0});
  const size_t marked = 2 * 18 + 5;
  picture.samples[marked * 3] = 255;  // red
  Result<DecodedImage> decoded = decode_status_icon(build_png(picture));
  ASSERT_TRUE(decoded.has_value()) << decoded.error();
  for (size_t i = 0; i < 18 * 18; ++i) {
    const uint8_t expected_red = i == marked ? 255 : 0;
    ASSERT_EQ(decoded->pixels[i * 4 + 2], expected_red) << "pixel " << i;
  }
}

struct BlendCase {
  uint8_t channel;
  uint8_t alpha;
  uint8_t expected;
};

// (c * a + (255 - a) * 30) / 255, truncating: 255 at 128 is 36450 / 255 =
// 142.94, which rounding would make 143.
const BlendCase kBlendCases[] = {
    {0, 0, 30},    {255, 0, 30},    {0, 255, 0},    {255, 255, 255},
    {77, 255, 77}, {255, 128, 142}, {100, 128, 65}, {0, 1, 29},
};

TEST(ImageDecodingTest, BlendsOverTheWindowGrey) {
  for (const BlendCase& c : kBlendCases) {
    EXPECT_EQ(blend_over_window_grey(c.channel, c.alpha), c.expected)
        << "channel " << int{c.channel} << " alpha " << int{c.alpha};
  }
}

TEST(ImageDecodingTest, DescribesTheBufferToGdiTopDown) {
  DecodedImage image;
  image.width = 512;
  image.height = 300;
  const DibHeaderFields fields = dib_header_fields(image);
  EXPECT_EQ(fields.size, 40u);
  EXPECT_EQ(fields.width, 512);
  EXPECT_EQ(fields.height, -300);
  EXPECT_EQ(fields.planes, 1);
  EXPECT_EQ(fields.bit_count, 32);
  EXPECT_EQ(fields.compression, 0u);
}

}  // namespace
}  // namespace velmo
