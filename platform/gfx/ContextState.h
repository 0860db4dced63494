// What a device context handle names inside the stand-in: where it draws and what is selected.
#pragma once

#include <memory>
#include <vector>

#include "platform/gfx/GraphicsObject.h"
#include "platform/gfx/Surface.h"

namespace gfx {

struct ContextState {
  uintptr_t handle = 0;

  // A surface context draws into a surface it does not own (a window's area of the screen);
  // a memory context draws into its selected bitmap.
  bool isSurfaceContext = false;
  PixelSurface surface{nullptr, 0, 0, 0};
  int32_t originX = 0;
  int32_t originY = 0;
  RECT clip{0, 0, 0, 0};
  // A clip rectangle set by IntersectClipRect, in surface coordinates, narrowing the context's
  // own clip; `saved` holds the ones SaveDC kept, the latest last.
  bool narrowed = false;
  RECT narrowClip{0, 0, 0, 0};
  struct SavedClip {
    bool narrowed;
    RECT narrowClip;
  };
  std::vector<SavedClip> saved;

  std::shared_ptr<GraphicsObject> bitmap;
  std::shared_ptr<GraphicsObject> brush;
  std::shared_ptr<GraphicsObject> pen;
  std::shared_ptr<GraphicsObject> font;

  COLORREF textColor = 0;         // black
  COLORREF bkColor = 0x00FFFFFF;  // white
  int bkMode = 2;                 // OPAQUE
};

// Where `context` draws: its surface, origin and clip rectangle in surface coordinates (the
// context's own clip, narrowed by IntersectClipRect).
DrawTarget TargetOf(const ContextState& context);

}  // namespace gfx
