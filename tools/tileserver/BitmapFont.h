// A tiny 5x7 bitmap font with the characters a tile label needs: digits, '=', '-', '?', space
// and the lower-case letters of "x y z mt world regional". Other characters draw as '?'.
#pragma once

#include <cstdint>

namespace tileserver {

class BitmapFont {
 public:
  static constexpr int kGlyphWidth = 5;
  static constexpr int kGlyphHeight = 7;
  static constexpr int kGlyphSpacing = 1;  // blank columns after each glyph

  // Seven rows for `c`; bit 4 of each row is the leftmost column.
  static const uint8_t* Glyph(char c);
};

}  // namespace tileserver
