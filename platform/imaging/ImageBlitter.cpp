#include "platform/imaging/ImageBlitter.h"

#include <algorithm>
#include <cstring>

namespace imaging {

namespace {

constexpr uint32_t kOpaque = 255;

inline uint32_t PixelOf(const uint8_t* rgba) { return (uint32_t{rgba[0]} << 16) | (uint32_t{rgba[1]} << 8) | rgba[2]; }

// (c * a + d * (255 - a)) / 255, rounded.
inline uint32_t BlendChannel(uint32_t c, uint32_t d, uint32_t a) {
  const uint32_t v = c * a + d * (kOpaque - a) + 128;
  return (v + (v >> 8)) >> 8;
}

inline uint32_t Blend(const uint8_t* rgba, uint32_t under) {
  const uint32_t a = rgba[3];
  return (BlendChannel(rgba[0], (under >> 16) & 0xFF, a) << 16) | (BlendChannel(rgba[1], (under >> 8) & 0xFF, a) << 8) |
         BlendChannel(rgba[2], under & 0xFF, a);
}

// Opaque RGBA bytes to 0x00RRGGBB pixels. Whole-pixel loads and shifts, no branches: the
// compiler turns this into vector code.
void ConvertOpaqueRow(const uint8_t* __restrict from, uint32_t* __restrict to, int64_t width) {
  for (int64_t x = 0; x < width; ++x) {
    uint32_t rgba;  // little-endian: 0xAABBGGRR
    std::memcpy(&rgba, from + x * 4, 4);
    to[x] = ((rgba & 0xFF) << 16) | (rgba & 0xFF00) | ((rgba >> 16) & 0xFF);
  }
}

bool RowIsOpaque(const uint8_t* from, int64_t width) {
  uint32_t all = 0xFF;
  for (int64_t x = 0; x < width; ++x) all &= from[x * 4 + 3];
  return all == 0xFF;
}

}  // namespace

void ImageBlitter::Draw(const DecodedImage& image, const RECT& source, const RECT& dest, const DrawTarget& target) {
  const PixelSurface& surface = target.surface;
  if (surface.pixels == nullptr || surface.width <= 0 || surface.height <= 0) return;
  // The destination in surface coordinates, 64-bit so no sum of context coordinates overflows.
  const int64_t destLeft = int64_t{dest.left} + target.originX;
  const int64_t destTop = int64_t{dest.top} + target.originY;
  const int64_t destRight = int64_t{dest.right} + target.originX;
  const int64_t destBottom = int64_t{dest.bottom} + target.originY;
  const int64_t left = std::max<int64_t>({destLeft, target.clip.left, 0});
  const int64_t top = std::max<int64_t>({destTop, target.clip.top, 0});
  const int64_t right = std::min<int64_t>({destRight, target.clip.right, surface.width});
  const int64_t bottom = std::min<int64_t>({destBottom, target.clip.bottom, surface.height});
  if (left >= right || top >= bottom) return;

  const int64_t sourceWidth = int64_t{source.right} - source.left;
  const int64_t sourceHeight = int64_t{source.bottom} - source.top;
  if (sourceWidth == destRight - destLeft && sourceHeight == destBottom - destTop) {
    DrawExact(image, source.left + (left - destLeft), source.top + (top - destTop), left, top, right, bottom, surface);
  } else {
    const ResampleAxis columns(sourceWidth, destRight - destLeft, left - destLeft, right - destLeft);
    const ResampleAxis rows(sourceHeight, destBottom - destTop, top - destTop, bottom - destTop);
    DrawScaled(image, source.left, source.top, columns, rows, left, top, right, bottom, surface);
  }
}

// [left, right) x [top, bottom) in surface coordinates; (sourceX, sourceY) is the image pixel that
// lands on (left, top).
void ImageBlitter::DrawExact(const DecodedImage& image, int64_t sourceX, int64_t sourceY, int64_t left, int64_t top,
                             int64_t right, int64_t bottom, const PixelSurface& surface) {
  const int64_t width = right - left;
  for (int64_t y = top; y < bottom; ++y) {
    const uint8_t* from = image.Row(static_cast<uint32_t>(sourceY + (y - top))) + sourceX * 4;
    uint32_t* to = surface.pixels + y * surface.stride + left;
    if (!image.hasAlpha || RowIsOpaque(from, width)) {
      ConvertOpaqueRow(from, to, width);
      continue;
    }
    for (int64_t x = 0; x < width; ++x) {
      const uint8_t* p = from + x * 4;
      if (p[3] == kOpaque) {
        to[x] = PixelOf(p);
      } else if (p[3] != 0) {
        to[x] = Blend(p, to[x]);
      }
    }
  }
}

// [left, right) x [top, bottom) in surface coordinates; `columns` and `rows` hold the taps of
// exactly those pixels, with source indices relative to (sourceX, sourceY). Each pixel sums its
// taps premultiplied, in 64 bits, and is blended over the surface in one rounding step, so a
// uniform opaque source comes out exactly and a fully transparent one leaves the surface as it was.
void ImageBlitter::DrawScaled(const DecodedImage& image, int64_t sourceX, int64_t sourceY, const ResampleAxis& columns,
                              const ResampleAxis& rows, int64_t left, int64_t top, int64_t right, int64_t bottom,
                              const PixelSurface& surface) {
  constexpr uint64_t kFull = uint64_t{kOpaque} * ResampleAxis::kWeightOne * ResampleAxis::kWeightOne;
  const uint32_t* columnWeights = columns.Weights();
  const uint32_t* rowWeights = rows.Weights();
  for (int64_t y = top; y < bottom; ++y) {
    const ResampleAxis::Span& rowSpan = rows.At(y - top);
    uint32_t* to = surface.pixels + y * surface.stride;
    for (int64_t x = left; x < right; ++x) {
      const ResampleAxis::Span& columnSpan = columns.At(x - left);
      uint64_t sumA = 0, sumR = 0, sumG = 0, sumB = 0;
      for (uint32_t j = 0; j < rowSpan.count; ++j) {
        const uint64_t wy = rowWeights[rowSpan.weights + j];
        const uint8_t* row =
            image.Row(static_cast<uint32_t>(sourceY + rowSpan.first + j)) + (sourceX + columnSpan.first) * 4;
        for (uint32_t i = 0; i < columnSpan.count; ++i) {
          const uint8_t* p = row + i * 4;
          const uint64_t wa = wy * columnWeights[columnSpan.weights + i] * p[3];
          sumA += wa;
          sumR += wa * p[0];
          sumG += wa * p[1];
          sumB += wa * p[2];
        }
      }
      if (sumA == 0) continue;
      const uint32_t under = to[x];
      const uint64_t keep = kFull - sumA;
      const auto channel = [&](uint64_t sum, uint32_t d) {
        return static_cast<uint32_t>((sum + d * keep + kFull / 2) / kFull);
      };
      to[x] = (channel(sumR, (under >> 16) & 0xFF) << 16) | (channel(sumG, (under >> 8) & 0xFF) << 8) |
              channel(sumB, under & 0xFF);
    }
  }
}

}  // namespace imaging
