// Text calls: DrawTextW and GetTextExtentPoint32W on top of the font library and line layout.
#include <algorithm>

#include "platform/gfx/FontLibrary.h"
#include "platform/gfx/Gdi.h"
#include "platform/gfx/ObjectRegistry.h"
#include "platform/gfx/PixelOps.h"
#include "platform/gfx/RectMath.h"
#include "platform/gfx/TextLayout.h"
#include "platform/kernel/WideText.h"

using gfx::Box;
using gfx::FontLibrary;
using gfx::Glyph;

namespace {

struct ShapedText {
  std::u32string text;
  std::vector<std::shared_ptr<const Glyph>> glyphs;
  std::vector<int32_t> advances;
  gfx::LineMetrics metrics{0, 0};
};

ShapedText Shape(const gfx::ContextState& context, const char16_t* text, size_t count, bool prefixes) {
  ShapedText shaped;
  shaped.text = gfx::DecodeText(text, count, prefixes);
  FontLibrary& library = FontLibrary::Instance();
  auto font = library.Resolve(context.font->font);
  library.Glyphs(*font, shaped.text, &shaped.glyphs);
  shaped.metrics = library.Metrics(*font);
  shaped.advances.reserve(shaped.glyphs.size());
  for (const auto& g : shaped.glyphs) shaped.advances.push_back(g->advance);
  return shaped;
}

// Blends one glyph with its origin (pen position, baseline) at surface (x, baseline).
void DrawGlyph(const PixelSurface& surface, const Box& clip, const Glyph& glyph, int64_t x, int64_t baseline,
               uint32_t color) {
  if (glyph.coverage.empty()) return;
  const Box box{x + glyph.left, baseline - glyph.top, x + glyph.left + glyph.width, baseline - glyph.top + glyph.rows};
  const Box visible = gfx::Intersect(box, clip);
  if (visible.Empty()) return;
  const uint8_t* first = glyph.coverage.data() + (visible.top - box.top) * glyph.width + (visible.left - box.left);
  gfx::BlendCoverage(surface, int32_t(visible.left), int32_t(visible.top), first, int32_t(visible.Width()),
                     int32_t(visible.Height()), glyph.width, color);
}

LONG Clamp(int64_t v) { return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format) {
  auto context = gfx::ObjectRegistry::Instance().Find(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!rect || (!text && count != 0) || count < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t units = count < 0 ? WideLength(text) : size_t(count);
  const bool singleLine = (format & DT_SINGLELINE) != 0;
  const ShapedText shaped = Shape(*context, text, units, (format & DT_NOPREFIX) == 0);
  const int64_t rectWidth = int64_t(rect->right) - rect->left;
  const std::vector<gfx::TextLine> lines =
      gfx::BreakLines(shaped.text, shaped.advances, singleLine, !singleLine && (format & DT_WORDBREAK), rectWidth);

  const int64_t lineHeight = shaped.metrics.Height();
  const int64_t blockHeight = lineHeight * int64_t(lines.size());
  int64_t widest = 0;
  for (const auto& line : lines) widest = std::max(widest, line.width);

  if (format & DT_CALCRECT) {
    rect->right = Clamp(int64_t(rect->left) + widest);
    rect->bottom = Clamp(int64_t(rect->top) + blockHeight);
    return int(std::min<int64_t>(blockHeight, INT32_MAX));
  }

  int64_t top = rect->top;
  if (format & DT_BOTTOM) top = int64_t(rect->bottom) - blockHeight;
  else if (format & DT_VCENTER) top = rect->top + (int64_t(rect->bottom) - rect->top - blockHeight) / 2;

  const DrawTarget target = gfx::TargetOf(*context);
  Box clip{0, 0, 0, 0};
  if (target.surface.pixels) {
    clip = gfx::Intersect(gfx::BoxOf(target.clip), Box{0, 0, target.surface.width, target.surface.height});
    if (!(format & DT_NOCLIP))
      clip = gfx::Intersect(clip, gfx::Offset(gfx::BoxOf(*rect), target.originX, target.originY));
  }
  const uint32_t textPixel = PixelFromColor(context->textColor);
  const uint32_t backPixel = PixelFromColor(context->bkColor);

  int64_t lineTop = top + target.originY;
  for (const auto& line : lines) {
    int64_t x = rect->left;
    if (format & DT_RIGHT) x = int64_t(rect->right) - line.width;
    else if (format & DT_CENTER) x = rect->left + (rectWidth - line.width) / 2;
    x += target.originX;
    if (!clip.Empty()) {
      if (context->bkMode == OPAQUE) {
        const Box box = gfx::Intersect(Box{x, lineTop, x + line.width, lineTop + lineHeight}, clip);
        if (!box.Empty())
          gfx::FillPixels(target.surface, int32_t(box.left), int32_t(box.top), int32_t(box.Width()),
                          int32_t(box.Height()), backPixel);
      }
      const int64_t baseline = lineTop + shaped.metrics.ascent;
      for (size_t i = line.begin; i < line.end; ++i) {
        DrawGlyph(target.surface, clip, *shaped.glyphs[i], x, baseline, textPixel);
        x += shaped.advances[i];
      }
    }
    lineTop += lineHeight;
  }
  const int64_t result = (format & (DT_VCENTER | DT_BOTTOM)) ? top + blockHeight - rect->top : blockHeight;
  return int(std::clamp<int64_t>(result, 0, INT32_MAX));
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  auto context = gfx::ObjectRegistry::Instance().Find(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!size || count < 0 || (!text && count != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ShapedText shaped = Shape(*context, text, size_t(count), false);
  int64_t width = 0;
  for (int32_t a : shaped.advances) width += a;
  size->cx = Clamp(width);
  size->cy = shaped.metrics.Height();
  return TRUE;
}
