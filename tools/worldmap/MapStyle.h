// The world map's colours and line widths.
#pragma once

#include <cstdint>

namespace worldmap::style {

struct Rgb {
  uint8_t r, g, b;
};

constexpr Rgb kSea{0xAA, 0xD3, 0xDF};
constexpr Rgb kLand{0xF2, 0xEF, 0xE9};
constexpr Rgb kCoast{0x8F, 0xB8, 0xC6};   // a thin line just off every coast, on the sea side
constexpr Rgb kBorder{0xB4, 0xA3, 0xB8};  // muted mauve between countries

// Widths in pixels by zoom level: thinner on the small levels, where the whole world shares a
// tile and lines would crowd it.
inline double CoastWidth(int zoom) { return zoom <= 1 ? 1.0 : zoom <= 3 ? 1.3 : 1.6; }
inline double BorderWidth(int zoom) { return zoom <= 1 ? 0.5 : zoom <= 3 ? 0.7 : 1.0; }

}  // namespace worldmap::style
