// Fonts for text drawing: fontconfig finds the faces for a request (the requested family, then
// the default Hangul-capable family, then whatever else covers a missing character), FreeType
// renders anti-aliased glyphs. Faces and rendered glyphs are cached. FreeType's library object is
// not thread-safe, so every use of it and of the caches happens under one lock.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/GraphicsObject.h"

namespace gfx {

// One rendered glyph: 8-bit coverage, `width` x `rows`, placed `left` pixels right of the pen
// and `top` pixels above the baseline; the pen then moves `advance` pixels.
struct Glyph {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t rows = 0;
  int32_t advance = 0;
  std::vector<uint8_t> coverage;
};

struct LineMetrics {
  int32_t ascent;   // pixels above the baseline
  int32_t descent;  // pixels below it
  int32_t Height() const { return ascent + descent; }
};

class FontInstance;

class FontLibrary {
 public:
  static FontLibrary& Instance();

  // The font for a request, resolved once and kept for the life of the process. Never null:
  // with no usable font installed it has no faces, measures every character as zero wide and
  // draws nothing.
  std::shared_ptr<FontInstance> Resolve(const FontRequest& request);

  // Glyphs of `text`, in order. A character that no face has becomes the first face's
  // missing-glyph box; control characters are empty and zero wide.
  void Glyphs(FontInstance& font, const std::u32string& text, std::vector<std::shared_ptr<const Glyph>>* glyphs);
  LineMetrics Metrics(FontInstance& font);

 private:
  struct State;
  FontLibrary();
  std::unique_ptr<State> state_;
};

}  // namespace gfx
