// Device contexts that draw into a surface owned by someone else: the window system makes one
// for each window it paints, drawing into that window's area of the screen.
#pragma once

#include "platform/gfx/Surface.h"

// A context whose (0, 0) is surface pixel (`originX`, `originY`) and which draws only inside
// `clip` (surface coordinates; it is cut to the surface). The surface must outlive the context;
// delete it with DeleteDC. Bitmaps cannot be selected into it. Null for a surface without pixels
// or with a stride smaller than its width.
HDC CreateSurfaceDC(PixelSurface surface, int32_t originX, int32_t originY, RECT clip);
