// Turning UTF-16 text into lines: surrogate pairs, mnemonic prefixes, line feeds and breaking
// at spaces. Pure: widths come in as per-character advances.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

// Code points of `count` UTF-16 units. Surrogate pairs become one code point, unpaired
// surrogates U+FFFD. With `prefixes`, '&' is dropped and "&&" gives one '&'.
std::u32string DecodeText(const char16_t* text, size_t count, bool prefixes);

struct TextLine {
  size_t begin;   // first character
  size_t end;     // one past the last character drawn
  int64_t width;  // sum of the advances of [begin, end)
};

// Splits `text` into lines. Unless `singleLine`, "\n", "\r\n" and "\r" end a line (and are not
// part of it). With `wordBreak`, a line that would be wider than `maxWidth` is broken at the
// last space before the overflowing word; spaces at a break are dropped, and a single word
// wider than `maxWidth` keeps its own line. Empty text gives one empty line.
std::vector<TextLine> BreakLines(const std::u32string& text, const std::vector<int32_t>& advances, bool singleLine,
                                 bool wordBreak, int64_t maxWidth);

}  // namespace gfx
