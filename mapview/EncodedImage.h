// An image made from encoded bytes (PNG, JPEG, WebP) through the platform's imaging factory, ready to be
// drawn into rectangles of a surface. Decoding once and drawing several times lets a caller decode
// outside a lock and hold the lock only for the draw.
#pragma once

#include <cstdint>

#include "platform/gfx/Gdi.h"
#include "platform/imaging/Imaging.h"

class EncodedImage {
 public:
  EncodedImage() = default;
  // Releases the image, then the factory.
  ~EncodedImage();
  EncodedImage(const EncodedImage&) = delete;
  EncodedImage& operator=(const EncodedImage&) = delete;

  // Creates the factory and an image from the bytes, which stay the caller's. false when the
  // factory cannot be created or the bytes are no image (nothing is kept then).
  bool Decode(const uint8_t* bytes, uint32_t count);
  // Draws the whole image scaled into (left, top, right, bottom) of the surface. false when
  // nothing was decoded or the platform refuses the draw.
  bool Draw(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom) const;
  // Draws the image's square (x, y, size) scaled into the rectangle; a size of 0 is the whole image.
  bool DrawPart(HDC surface, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                int32_t size) const;
  // The decoded image's width and height in pixels; false when nothing was decoded.
  bool Size(int32_t* width, int32_t* height) const;
  // Whether the image's pixel (x, y), inside the image, is not fully transparent: it is drawn
  // on a black and on a white pixel, and a pixel that leaves both as they were has no alpha.
  bool CoversPixel(int32_t x, int32_t y) const;
  // Whether some pixel of the image is neither opaque nor fully transparent: drawn on black and on
  // white, such a pixel differs between the two yet is not left as black and white. false when
  // nothing was decoded.
  bool HasPartialAlpha() const;

 private:
  IImagingFactory* factory_ = nullptr;
  IImage* image_ = nullptr;
};
