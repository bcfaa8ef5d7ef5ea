#include "ui/badge_intro.h"

#include <algorithm>
#include <cmath>

#include "ui/colour_formula.h"

namespace velmo {

namespace {

double clamp01(double value) {
  return std::clamp(value, 0.0, 1.0);
}

// How far the sheen's band has travelled: fast at first, slowing down.
int sheen_sweep(double p) {
  return static_cast<int>((1.0 - (1.0 - p) * (1.0 - p)) * 315.0);
}

// Fades the sheen in over its first 12 % and out over its last 28 %.
double sheen_envelope(double p) {
  if (p <= 0.12) {
    return clamp01(p / 0.12);
  }
  if (p > 0.72) {
    return clamp01((1.0 - p) / 0.28);
  }
  return 1.0;
}

// Brightness across the band: a soft lead-in, a bright core near u = 0.52,
// a longer tail.
double band_profile(double u) {
  double b = 0.0;
  if (u <= 0.18) {
    b = 0.06 * u / 0.18;
  } else if (u <= 0.42) {
    b = 0.06 + 0.16 * (u - 0.18) / 0.24;
  } else if (u <= 0.52) {
    b = 0.22 + 0.5 * (u - 0.42) / 0.1;
  } else if (u <= 0.62) {
    b = 0.72 - 0.46 * (u - 0.52) / 0.1;
  } else if (u <= 0.84) {
    b = 0.26 - 0.2 * (u - 0.62) / 0.22;
  } else {
    b = 0.06 * (1.0 - (u - 0.84) / 0.16);
  }
  return clamp01(b);
}

double blend(uint8_t base, double tint, double amount) {
  return base + (tint - base) * amount;
}

}  // namespace

double badge_glow(uint32_t intro_tick) {
  if (intro_tick > kIntroLastTick) {
    return 0.0;
  }
  const double t = intro_tick / 34.0;
  if (t <= 0.18) {
    return clamp01(t / 0.18);
  }
  if (t <= 0.52) {
    return clamp01(1.0 - 0.45 * (t - 0.18) / 0.34);
  }
  return clamp01(0.55 * (1.0 - (t - 0.52) / 0.48));
}

BadgeColours badge_colours(uint32_t intro_tick) {
  const double g = badge_glow(intro_tick);
  const double k = std::min(1.0, 0.55 * g);
  const double m = std::min(1.0, 0.86 * g);
  return BadgeColours{
      colour_from(51 - 7 * k, 54 + 2 * k, 60 + 4 * k),
      colour_from(79 + 44 * m, 96 + 88 * m, 110 + 101 * m),
  };
}

bool sheen_visible(uint32_t intro_tick) {
  return intro_tick < kSheenTicks;
}

std::vector<uint8_t> sheen_pixels(uint32_t intro_tick, Rgb base) {
  const double p = intro_tick / 29.0;
  const int sweep = sheen_sweep(p);
  const double envelope = sheen_envelope(p);
  std::vector<uint8_t> pixels;
  pixels.reserve(static_cast<size_t>(kSheenWidth) * kSheenHeight * 4);
  for (int r = 0; r < kSheenHeight; ++r) {
    for (int c = 0; c < kSheenWidth; ++c) {
      const int x = kSheenLeft + c;
      const double u = clamp01(((x - (sweep + 157)) - (r - 10.5) * 0.36) / 100.0);
      const double b = band_profile(u) * envelope;
      const double w = clamp01(1.0 - std::abs(u - 0.52) / 0.16);
      pixels.push_back(colour_channel(blend(base.b, 210 + 45 * w, b)));
      pixels.push_back(colour_channel(blend(base.g, 184 + 67 * w, b)));
      pixels.push_back(colour_channel(blend(base.r, 124 + 115 * w, b)));
      pixels.push_back(0);
    }
  }
  return pixels;
}

}  // namespace velmo
