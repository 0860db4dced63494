// Copies, fills and single pixels: the calls resolve contexts to surfaces, clip, and hand the
// pixel work to PixelOps.
#include <utility>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/ObjectRegistry.h"
#include "platform/gfx/PixelOps.h"
#include "platform/gfx/RectMath.h"

using gfx::Box;
using gfx::ObjectRegistry;

namespace {

// A copy after clipping, in surface coordinates.
struct CopyPlan {
  int32_t dx, dy, sx, sy, width, height;
  bool Empty() const { return width <= 0 || height <= 0; }
};

Box SurfaceBox(const DrawTarget& t) {
  if (!t.surface.pixels) return Box{0, 0, 0, 0};
  return gfx::Intersect(gfx::BoxOf(t.clip), Box{0, 0, t.surface.width, t.surface.height});
}

// The part of the destination rectangle that lies inside the destination's clip and whose
// source lies inside the source's clip.
CopyPlan PlanCopy(const DrawTarget& dst, int x, int y, int width, int height, const DrawTarget& src, int srcX,
                  int srcY) {
  const Box wanted{int64_t(x) + dst.originX, int64_t(y) + dst.originY, int64_t(x) + dst.originX + width,
                   int64_t(y) + dst.originY + height};
  // Source position = destination position + shift.
  const int64_t shiftX = int64_t(srcX) + src.originX - wanted.left;
  const int64_t shiftY = int64_t(srcY) + src.originY - wanted.top;
  Box r = gfx::Intersect(wanted, SurfaceBox(dst));
  r = gfx::Intersect(r, gfx::Offset(SurfaceBox(src), -shiftX, -shiftY));
  if (r.Empty()) return CopyPlan{0, 0, 0, 0, 0, 0};
  return CopyPlan{int32_t(r.left),         int32_t(r.top),     int32_t(r.left + shiftX),
                  int32_t(r.top + shiftY), int32_t(r.Width()), int32_t(r.Height())};
}

bool TargetsOf(HDC dst, HDC src, DrawTarget* d, DrawTarget* s) {
  auto dc = ObjectRegistry::Instance().Find(dst);
  auto sc = ObjectRegistry::Instance().Find(src);
  if (!dc || !sc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  *d = gfx::TargetOf(*dc);
  *s = gfx::TargetOf(*sc);
  return true;
}

// Fills a rectangle given in logical coordinates (right and bottom exclusive), clipped.
void FillLogical(const DrawTarget& t, int64_t left, int64_t top, int64_t right, int64_t bottom, COLORREF color) {
  const Box r =
      gfx::Intersect(Box{left + t.originX, top + t.originY, right + t.originX, bottom + t.originY}, SurfaceBox(t));
  if (r.Empty()) return;
  gfx::FillPixels(t.surface, int32_t(r.left), int32_t(r.top), int32_t(r.Width()), int32_t(r.Height()),
                  PixelFromColor(color));
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  if (rop != SRCCOPY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DrawTarget d, s;
  if (!TargetsOf(dst, src, &d, &s)) return FALSE;
  const CopyPlan plan = PlanCopy(d, x, y, width, height, s, srcX, srcY);
  if (!plan.Empty()) gfx::CopyPixels(d.surface, plan.dx, plan.dy, s.surface, plan.sx, plan.sy, plan.width, plan.height);
  return TRUE;
}

BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                      int srcHeight, COLORREF transparent) {
  if (srcWidth != width || srcHeight != height) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DrawTarget d, s;
  if (!TargetsOf(dst, src, &d, &s)) return FALSE;
  const CopyPlan plan = PlanCopy(d, x, y, width, height, s, srcX, srcY);
  if (!plan.Empty())
    gfx::CopyPixelsExceptKey(d.surface, plan.dx, plan.dy, s.surface, plan.sx, plan.sy, plan.width, plan.height,
                             PixelFromColor(transparent));
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  auto context = ObjectRegistry::Instance().Find(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  const DrawTarget t = gfx::TargetOf(*context);
  const gfx::GraphicsObject& pen = *context->pen;
  const gfx::GraphicsObject& brush = *context->brush;
  const int64_t l = left, tp = top, r = right, b = bottom;
  if (pen.isNull) {
    // Without an outline the interior is one pixel short on the right and at the bottom.
    if (!brush.isNull) FillLogical(t, l, tp, r - 1, b - 1, brush.color);
    return TRUE;
  }
  if (!brush.isNull) FillLogical(t, l + 1, tp + 1, r - 1, b - 1, brush.color);
  if (r - l >= 1 && b - tp >= 1) {
    FillLogical(t, l, tp, r, tp + 1, pen.color);  // top
    FillLogical(t, l, b - 1, r, b, pen.color);    // bottom
    FillLogical(t, l, tp, l + 1, b, pen.color);   // left
    FillLogical(t, r - 1, tp, r, b, pen.color);   // right
  }
  return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  auto context = ObjectRegistry::Instance().Find(dc);
  auto fill = ObjectRegistry::Instance().Find(brush);
  if (!context || !fill || fill->kind != gfx::ObjectKind::Brush || !rect) {
    SetLastError(context && fill && !rect ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!fill->isNull)
    FillLogical(gfx::TargetOf(*context), rect->left, rect->top, rect->right, rect->bottom, fill->color);
  return TRUE;
}

namespace {

// The pixel of the context's surface at (x, y), or null when the context is not valid or the point
// lies outside its clip.
uint32_t* PixelAt(HDC dc, int x, int y) {
  auto context = ObjectRegistry::Instance().Find(dc);
  if (!context) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const DrawTarget t = gfx::TargetOf(*context);
  const int64_t sx = int64_t(x) + t.originX, sy = int64_t(y) + t.originY;
  const Box clip = SurfaceBox(t);
  if (sx < clip.left || sx >= clip.right || sy < clip.top || sy >= clip.bottom) return nullptr;
  return &t.surface.pixels[sy * t.surface.stride + sx];
}

}  // namespace

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  uint32_t* pixel = PixelAt(dc, x, y);
  if (pixel == nullptr) return CLR_INVALID;
  *pixel = PixelFromColor(color);
  return color & 0x00FFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  const uint32_t* pixel = PixelAt(dc, x, y);
  return pixel != nullptr ? ColorFromPixel(*pixel) : CLR_INVALID;
}
