#include "ui/embedded_images.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "ui/embedded_image_view.h"
#include "ui/embedded_png.h"
#include "ui/rgb.h"

namespace velmo {
namespace {

constexpr Rgb kCardFill = rgb_hex(0x252526);

struct IconCase {
  const char* name;
  IconState state;
  Rgb foreground;
};

// Failures name the case rather than dump its bytes.
void PrintTo(const IconCase& c, std::ostream* out) {
  *out << c.name;
}

const IconCase kIconCases[] = {
    {"Ok", IconState::kOk, rgb_hex(0x53D59C)},
    {"Pending", IconState::kPending, rgb_hex(0x40A9FF)},
    {"Missing", IconState::kMissing, rgb_hex(0xFF8C70)},
};

size_t pixels_of_colour(const DecodedImage& image, Rgb colour) {
  size_t count = 0;
  for (size_t i = 0; i + 4 <= image.pixels.size(); i += 4) {
    count += image.pixels[i] == colour.b && image.pixels[i + 1] == colour.g &&
                     image.pixels[i + 2] == colour.r && image.pixels[i + 3] == 0
                 ? 1
                 : 0;
  }
  return count;
}

class StatusIconTest : public testing::TestWithParam<IconCase> {};

TEST_P(StatusIconTest, CarriedAsPng) {
  const std::array<uint8_t, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const auto png = status_icon_png(GetParam().state);
  ASSERT_GT(png.size(), signature.size());
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
}

TEST_P(StatusIconTest, IsEighteenPixelsSquare) {
  const DecodedImage& icon = status_icon(GetParam().state);
  EXPECT_EQ(icon.width, 18u);
  EXPECT_EQ(icon.height, 18u);
  EXPECT_EQ(icon.pixels.size(), 1296u);
}

// The painters copy the icons without blending onto the card, so most of
// each icon is the card's fill, and its ring is drawn in the state's colour.
TEST_P(StatusIconTest, CardFillWithTheStateColour) {
  const DecodedImage& icon = status_icon(GetParam().state);
  EXPECT_GT(pixels_of_colour(icon, kCardFill), size_t{18 * 18 / 2});
  EXPECT_GT(pixels_of_colour(icon, GetParam().foreground), 0u);
  for (const IconCase& other : kIconCases) {
    if (other.state != GetParam().state) {
      EXPECT_EQ(pixels_of_colour(icon, other.foreground), 0u) << other.name;
    }
  }
}

TEST_P(StatusIconTest, DecodedOnce) {
  const DecodedImage* first = &status_icon(GetParam().state);
  const uint8_t* first_pixels = first->pixels.data();
  EXPECT_EQ(&status_icon(GetParam().state), first);
  EXPECT_EQ(status_icon(GetParam().state).pixels.data(), first_pixels);
}

INSTANTIATE_TEST_SUITE_P(Icons,
                         StatusIconTest,
                         testing::ValuesIn(kIconCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EmbeddedImagesTest, EachIconHasItsOwnBuffer) {
  EXPECT_NE(&status_icon(IconState::kOk), &status_icon(IconState::kPending));
  EXPECT_NE(&status_icon(IconState::kPending), &status_icon(IconState::kMissing));
  EXPECT_NE(&status_icon(IconState::kOk), &status_icon(IconState::kMissing));
}

TEST(EmbeddedImagesTest, EmblemIsFiveHundredTwelvePixelsSquare) {
  const DecodedImage& emblem = startup_emblem();
  EXPECT_EQ(emblem.width, 512u);
  EXPECT_EQ(emblem.height, 512u);
  EXPECT_EQ(emblem.pixels.size(), 1048576u);
}

// The emblem is transparent around its badge: its corners become the
// window's grey and its centre is covered.
TEST(EmbeddedImagesTest, EmblemIsBlendedOverTheWindowGrey) {
  const DecodedImage& emblem = startup_emblem();
  const Rgb grey = rgb_hex(0x1E1E1E);
  EXPECT_GT(pixels_of_colour(emblem, grey), 0u);
  const size_t last = emblem.pixels.size() - 4;
  EXPECT_EQ(std::vector<uint8_t>(emblem.pixels.begin(), emblem.pixels.begin() + 4),
            (std::vector<uint8_t>{30, 30, 30, 0}));
  EXPECT_EQ(std::vector<uint8_t>(emblem.pixels.begin() + last, emblem.pixels.end()),
            (std::vector<uint8_t>{30, 30, 30, 0}));
  const size_t centre = (256 * 512 + 256) * 4;
  EXPECT_NE(
      std::vector<uint8_t>(emblem.pixels.begin() + centre, emblem.pixels.begin() + centre + 4),
      (std::vector<uint8_t>{30, 30, 30, 0}));
}

TEST(EmbeddedImagesTest, EmblemDecodedOnce) {
  const DecodedImage* first = &startup_emblem();
  EXPECT_EQ(&startup_emblem(), first);
  EXPECT_EQ(startup_emblem().pixels.data(), first->pixels.data());
}

// Threads asking at the same time share the one buffer.
TEST(EmbeddedImagesTest, ConcurrentCallersShareTheBuffer) {
  std::array<const DecodedImage*, 4> seen{};
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] { seen[i] = &status_icon(IconState::kPending); });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (const DecodedImage* image : seen) {
    EXPECT_EQ(image, &status_icon(IconState::kPending));
  }
}

// The painter reads the images through their ids: each id must reach its own
// decoded buffer, not a copy and not a neighbour's.
TEST(EmbeddedImageViewTest, EachIdViewsItsDecodedBuffer) {
  const struct {
    ImageId id;
    const DecodedImage& image;
  } cases[] = {
      {ImageId::kIconOk, status_icon(IconState::kOk)},
      {ImageId::kIconPending, status_icon(IconState::kPending)},
      {ImageId::kIconMissing, status_icon(IconState::kMissing)},
      {ImageId::kStartupEmblem, startup_emblem()},
  };
  for (const auto& c : cases) {
    const DibView view = embedded_image_view(c.id);
    EXPECT_EQ(view.bgr0.data(), c.image.pixels.data()) << static_cast<int>(c.id);
    EXPECT_EQ(view.width, static_cast<int>(c.image.width));
    EXPECT_EQ(view.height, static_cast<int>(c.image.height));
    EXPECT_TRUE(view.complete());
  }
}

}  // namespace
}  // namespace velmo
