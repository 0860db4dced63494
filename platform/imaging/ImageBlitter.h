// Draws decoded pixels into a device context's surface: a source rectangle of the image onto a
// destination rectangle in the context's coordinates, clipped to the context's clip. Equal sizes
// copy exactly; other sizes are resampled (bilinear when enlarging, box when shrinking, per axis).
// Alpha is blended over the surface: alpha 255 writes the colour exactly, alpha 0 leaves the
// surface pixel untouched.
#pragma once

#include "platform/gfx/Surface.h"
#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/ResampleAxis.h"

namespace imaging {

class ImageBlitter {
 public:
  // `source` must lie inside the image and `dest` must not be empty; callers check both.
  static void Draw(const DecodedImage& image, const RECT& source, const RECT& dest, const DrawTarget& target);

 private:
  static void DrawExact(const DecodedImage& image, int64_t sourceX, int64_t sourceY, int64_t left, int64_t top,
                        int64_t right, int64_t bottom, const PixelSurface& surface);
  static void DrawScaled(const DecodedImage& image, int64_t sourceX, int64_t sourceY, const ResampleAxis& columns,
                         const ResampleAxis& rows, int64_t left, int64_t top, int64_t right, int64_t bottom,
                         const PixelSurface& surface);
};

}  // namespace imaging
