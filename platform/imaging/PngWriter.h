// Writes a surface to a PNG file (8-bit RGB), for screenshots. The file appears whole or not at
// all: the image goes to a temporary file beside it, which is flushed to disk and then renamed
// over `path`.
#pragma once

#include "platform/gfx/Surface.h"

// FALSE (and `path` untouched) for a surface without pixels, an empty surface, a null path, or any
// failure to write; the last error is ERROR_INVALID_PARAMETER for bad arguments, otherwise the
// system's error number.
BOOL WritePngFile(const PixelSurface& surface, const char* path);
