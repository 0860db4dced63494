// Contexts and objects: creation, selection, deletion, stock objects and context attributes.
#include <cstdlib>

#include "platform/gfx/Gdi.h"
#include "platform/gfx/ObjectRegistry.h"
#include "platform/gfx/RectMath.h"
#include "platform/gfx/SurfaceDC.h"

using gfx::GraphicsObject;
using gfx::ObjectKind;
using gfx::ObjectRegistry;

namespace {

constexpr int32_t kMaxBitmapSide = 16384;
constexpr int64_t kMaxBitmapPixels = int64_t(8192) * 8192;  // 256 MB of pixels
constexpr LONG kMaxFontHeight = 512;

std::shared_ptr<gfx::ContextState> LiveContext(HDC dc) {
  auto context = ObjectRegistry::Instance().Find(dc);
  if (!context) SetLastError(ERROR_INVALID_HANDLE);
  return context;
}

HGDIOBJ Publish(std::shared_ptr<GraphicsObject> object) {
  HGDIOBJ handle = ObjectRegistry::Instance().Add(std::move(object));
  if (!handle) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return handle;
}

}  // namespace

HDC CreateCompatibleDC(HDC reference) {
  if (reference && !LiveContext(reference)) return nullptr;
  ObjectRegistry& registry = ObjectRegistry::Instance();
  HDC dc = registry.Add(registry.NewContext());
  if (!dc) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return dc;
}

HDC CreateSurfaceDC(PixelSurface surface, int32_t originX, int32_t originY, RECT clip) {
  if (!surface.pixels || surface.width <= 0 || surface.height <= 0 || surface.stride < surface.width) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ObjectRegistry& registry = ObjectRegistry::Instance();
  auto context = registry.NewContext();
  context->isSurfaceContext = true;
  context->surface = surface;
  context->originX = originX;
  context->originY = originY;
  gfx::Box box = gfx::Intersect(gfx::BoxOf(clip), gfx::Box{0, 0, surface.width, surface.height});
  if (box.Empty()) box = gfx::Box{0, 0, 0, 0};
  context->clip = RECT{LONG(box.left), LONG(box.top), LONG(box.right), LONG(box.bottom)};
  HDC dc = registry.Add(context);
  if (!dc) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return dc;
}

BOOL DeleteDC(HDC dc) { return ObjectRegistry::Instance().DeleteContext(dc); }

BOOL GetDrawTarget(HDC dc, DrawTarget* target) {
  auto context = LiveContext(dc);
  if (!context || !target) return FALSE;
  *target = gfx::TargetOf(*context);
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (!LiveContext(dc)) return nullptr;
  if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      int64_t(width) * height > kMaxBitmapPixels) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto bitmap = std::make_shared<GraphicsObject>();
  bitmap->kind = ObjectKind::Bitmap;
  bitmap->width = width;
  bitmap->height = height;
  if (width > 0 && height > 0) {
    // Zeroed memory: a new bitmap is black.
    bitmap->pixels.reset(static_cast<uint32_t*>(std::calloc(size_t(width) * size_t(height), sizeof(uint32_t))));
    if (!bitmap->pixels) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  } else {
    bitmap->width = bitmap->height = 0;
  }
  return Publish(std::move(bitmap));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
  if (bits != nullptr) *bits = nullptr;
  if (dc != nullptr && !LiveContext(dc)) return nullptr;
  const BITMAPINFOHEADER* header = info != nullptr ? &info->bmiHeader : nullptr;
  if (header == nullptr || bits == nullptr || section != nullptr || offset != 0 || usage != DIB_RGB_COLORS ||
      header->biSize < sizeof(BITMAPINFOHEADER) || header->biPlanes != 1 || header->biBitCount != 32 ||
      header->biCompression != BI_RGB || header->biWidth <= 0 || header->biHeight >= 0 ||
      header->biHeight < -kMaxBitmapSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HDC reference = dc != nullptr ? dc : CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(reference, int(header->biWidth), int(-header->biHeight));
  if (reference != dc) DeleteDC(reference);
  if (bitmap == nullptr) return nullptr;
  // The bitmap's own rows are already laid out as a top-down DIB's: stride == width.
  auto object = ObjectRegistry::Instance().Find(bitmap);
  *bits = object ? object->pixels.get() : nullptr;
  return bitmap;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_shared<GraphicsObject>();
  brush->kind = ObjectKind::Brush;
  brush->color = color & 0x00FFFFFF;
  return Publish(std::move(brush));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if ((style != PS_SOLID && style != PS_NULL) || width < 0 || width > kMaxPenWidth) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto pen = std::make_shared<GraphicsObject>();
  pen->kind = ObjectKind::Pen;
  pen->color = color & 0x00FFFFFF;
  pen->isNull = style == PS_NULL;
  pen->penWidth = width < 1 ? 1 : width;
  return Publish(std::move(pen));
}

HFONT CreateFontIndirectW(const LOGFONTW* request) {
  if (!request || request->lfHeight > kMaxFontHeight || request->lfHeight < -kMaxFontHeight) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto font = std::make_shared<GraphicsObject>();
  font->kind = ObjectKind::Font;
  font->font.height = request->lfHeight;
  font->font.bold = request->lfWeight >= FW_SEMIBOLD;
  for (int i = 0; i + 1 < LF_FACESIZE && request->lfFaceName[i]; ++i) font->font.face[i] = request->lfFaceName[i];
  return Publish(std::move(font));
}

HGDIOBJ GetStockObject(int index) { return ObjectRegistry::Instance().Stock(index); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  ObjectRegistry& registry = ObjectRegistry::Instance();
  auto context = LiveContext(dc);
  auto selected = registry.Find(object);
  if (!context || !selected) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return registry.Select(*context, selected);
}

BOOL DeleteObject(HGDIOBJ object) { return ObjectRegistry::Instance().DeleteObject(object); }

COLORREF SetTextColor(HDC dc, COLORREF color) {
  auto context = LiveContext(dc);
  if (!context) return CLR_INVALID;
  const COLORREF previous = context->textColor;
  context->textColor = color & 0x00FFFFFF;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  auto context = LiveContext(dc);
  if (!context) return CLR_INVALID;
  const COLORREF previous = context->bkColor;
  context->bkColor = color & 0x00FFFFFF;
  return previous;
}

int SetBkMode(HDC dc, int mode) {
  auto context = LiveContext(dc);
  if (!context) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = context->bkMode;
  context->bkMode = mode;
  return previous;
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  auto context = LiveContext(dc);
  if (!context) return ERROR_REGION;
  const gfx::Box wanted{int64_t(left) + context->originX, int64_t(top) + context->originY,
                        int64_t(right) + context->originX, int64_t(bottom) + context->originY};
  // Narrowed against the current clip, so that the stored rectangle always fits 32 bits.
  gfx::Box box = gfx::Intersect(gfx::BoxOf(gfx::TargetOf(*context).clip), wanted);
  if (box.Empty()) box = gfx::Box{0, 0, 0, 0};
  context->narrowed = true;
  context->narrowClip = RECT{LONG(box.left), LONG(box.top), LONG(box.right), LONG(box.bottom)};
  return box.Empty() ? NULLREGION : SIMPLEREGION;
}

int SaveDC(HDC dc) {
  auto context = LiveContext(dc);
  if (!context) return 0;
  context->saved.push_back({context->narrowed, context->narrowClip});
  return int(context->saved.size());
}

BOOL RestoreDC(HDC dc, int level) {
  auto context = LiveContext(dc);
  if (!context) return FALSE;
  const int depth = int(context->saved.size());
  const int wanted = level < 0 ? depth + 1 + level : level;
  if (level == 0 || wanted < 1 || wanted > depth) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  context->narrowed = context->saved[size_t(wanted - 1)].narrowed;
  context->narrowClip = context->saved[size_t(wanted - 1)].narrowClip;
  context->saved.resize(size_t(wanted - 1));
  return TRUE;
}
