// The look of a synthetic tile: colours, grid, roads and the label panel. Tests read these
// constants to check pixels of decoded tiles, so every colour and position is named here.
#pragma once

#include <cstdint>

namespace tileserver::style {

struct Rgb {
  uint8_t r, g, b;
  constexpr bool operator==(const Rgb&) const = default;
};

inline constexpr int kTileSize = 256;
inline constexpr int kBytesPerPixel = 3;

// World tiles are a pale sand colour; regional tiles are tinted pale blue so the two servers
// are told apart at a glance.
inline constexpr Rgb kWorldBackground{242, 238, 228};
inline constexpr Rgb kRegionalBackground{226, 238, 250};
inline constexpr Rgb kWorldGrid{220, 212, 196};
inline constexpr Rgb kRegionalGrid{196, 214, 236};

// Roads are white with a darker casing, as on a printed street map. White is the viewer's
// colour key, so road pixels let the layer below show through; that is expected.
inline constexpr Rgb kRoad{255, 255, 255};
inline constexpr Rgb kRoadCasing{188, 176, 156};
inline constexpr Rgb kText{48, 48, 64};
inline constexpr Rgb kPanelBorder{120, 120, 136};

inline constexpr int kGridStep = 32;      // grid lines at every multiple, tile edges included
inline constexpr int kRoadHalfWidth = 4;  // white part spans 2 * half + 1 pixels
inline constexpr int kRoadCasingWidth = 1;
inline constexpr int kRoadSlots = 7;  // a road runs midway between two grid lines

// The label panel: background-coloured, bordered, holding the tile's numbers.
inline constexpr int kPanelLeft = 8;
inline constexpr int kPanelTop = 8;
inline constexpr int kPanelWidth = 168;
inline constexpr int kPanelHeight = 88;
inline constexpr int kPanelPadding = 6;
inline constexpr int kFontScale = 2;
inline constexpr int kLineAdvance = 20;

// A pixel inside the panel's padding: always the tile's background colour.
inline constexpr int kProbeX = kPanelLeft + 2;
inline constexpr int kProbeY = kPanelTop + 2;

}  // namespace tileserver::style
