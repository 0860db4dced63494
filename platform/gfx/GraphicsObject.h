// What a GDI object handle names inside the stand-in: a bitmap, brush, pen or font.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/gfx/GdiTypes.h"

namespace gfx {

class FontInstance;

enum class ObjectKind : uint8_t { Bitmap, Brush, Pen, Font };

struct FreeDeleter {
  void operator()(uint32_t* p) const { std::free(p); }
};

struct FontRequest {
  int32_t height = 0;  // LOGFONTW lfHeight rules
  bool bold = false;
  char16_t face[32] = {};
};

struct GraphicsObject {
  ObjectKind kind;
  bool stock = false;
  uintptr_t handle = 0;  // the object's own handle value, returned by SelectObject

  // Bitmap: pixels row by row, stride == width; null for the empty bitmap.
  int32_t width = 0;
  int32_t height = 0;
  std::unique_ptr<uint32_t[], FreeDeleter> pixels;

  // Brush and pen: colour; `isNull` for the null brush and the null pen.
  COLORREF color = 0;
  bool isNull = false;
  // Pen: its width in pixels (0 and 1 both draw one pixel wide).
  int32_t penWidth = 1;

  // Font: the request, resolved into faces on first use.
  FontRequest font;

  // Selection bookkeeping, guarded by the object registry's selection lock: the context a
  // (non-stock) bitmap is selected into, and how many contexts hold a brush, pen or font.
  uintptr_t selectedInto = 0;
  int32_t selections = 0;
};

}  // namespace gfx
