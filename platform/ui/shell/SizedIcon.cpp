#include "platform/ui/shell/SizedIcon.h"

#include <memory>
#include <new>

#include "platform/imaging/DecodedImage.h"
#include "platform/imaging/IconTable.h"
#include "platform/imaging/ResampleAxis.h"

namespace ui::shell {

namespace {

using imaging::DecodedImage;
using imaging::ResampleAxis;

std::shared_ptr<DecodedImage> Scaled(const DecodedImage& source, uint32_t width, uint32_t height) {
  auto out = std::make_shared<DecodedImage>();
  out->rgba.reset(new (std::nothrow) uint8_t[size_t(width) * height * 4]);
  if (!out->rgba) return nullptr;
  out->width = width;
  out->height = height;
  out->hasAlpha = source.hasAlpha;
  const ResampleAxis columns(source.width, width, 0, width);
  const ResampleAxis rows(source.height, height, 0, height);
  for (uint32_t y = 0; y < height; ++y) {
    const ResampleAxis::Span& rowSpan = rows.At(y);
    uint8_t* target = out->rgba.get() + size_t(y) * width * 4;
    for (uint32_t x = 0; x < width; ++x, target += 4) {
      const ResampleAxis::Span& columnSpan = columns.At(x);
      uint64_t sum[4] = {0, 0, 0, 0};  // red, green and blue weighted by alpha; alpha
      for (uint32_t r = 0; r < rowSpan.count; ++r) {
        const uint8_t* line = source.Row(uint32_t(rowSpan.first) + r);
        const uint64_t rowWeight = rows.Weights()[rowSpan.weights + r];
        for (uint32_t c = 0; c < columnSpan.count; ++c) {
          const uint8_t* pixel = line + size_t(uint32_t(columnSpan.first) + c) * 4;
          const uint64_t weight = rowWeight * columns.Weights()[columnSpan.weights + c];
          for (int k = 0; k < 3; ++k) sum[k] += weight * pixel[k] * pixel[3];
          sum[3] += weight * pixel[3];
        }
      }
      const uint64_t one = uint64_t(ResampleAxis::kWeightOne) * ResampleAxis::kWeightOne;
      for (int k = 0; k < 3; ++k) target[k] = sum[3] ? uint8_t((sum[k] + sum[3] / 2) / sum[3]) : 0;
      target[3] = uint8_t((sum[3] + one / 2) / one);
    }
  }
  return out;
}

}  // namespace

HICON CreateIconAtSize(const void* bytes, size_t size, int width, int height) {
  auto decoded = std::make_shared<DecodedImage>();
  const imaging::ImageError error = imaging::DecodeImage(bytes, size, decoded.get());
  if (error != imaging::ImageError::None) {
    SetLastError(error == imaging::ImageError::OutOfMemory ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<DecodedImage> pixels = decoded;
  if (width > 0 && height > 0 && (uint32_t(width) != decoded->width || uint32_t(height) != decoded->height)) {
    pixels = Scaled(*decoded, uint32_t(width), uint32_t(height));
    if (!pixels) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
  }
  return imaging::AddIcon(std::move(pixels));
}

}  // namespace ui::shell
