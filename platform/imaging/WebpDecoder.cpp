#include "platform/imaging/WebpDecoder.h"

#include <webp/decode.h>

#include <cstdint>
#include <new>

#include "platform/imaging/ImageLimits.h"

namespace imaging {

namespace {

ImageError FromStatus(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OK: return ImageError::None;
    case VP8_STATUS_NOT_ENOUGH_DATA: return ImageError::Truncated;
    case VP8_STATUS_OUT_OF_MEMORY: return ImageError::OutOfMemory;
    default: return ImageError::Corrupt;
  }
}

}  // namespace

ImageError WebpDecoder::Decode(const void* bytes, size_t size, DecodedImage* out, DecodeStats* stats) {
  const auto* data = static_cast<const uint8_t*>(bytes);
  WebPBitstreamFeatures features;
  const VP8StatusCode header = WebPGetFeatures(data, size, &features);
  if (header != VP8_STATUS_OK) return FromStatus(header);
  if (features.width <= 0 || features.height <= 0) return ImageError::Corrupt;
  const auto width = static_cast<uint32_t>(features.width);
  const auto height = static_cast<uint32_t>(features.height);
  if (width > kMaxImageSide || height > kMaxImageSide || size_t{width} * height * 4 > kMaxDecodedBytes) {
    return ImageError::TooLarge;
  }
  if (features.has_animation) return ImageError::Corrupt;

  const size_t rowBytes = size_t{width} * 4;
  const size_t total = rowBytes * height;
  if (total > stats->largestAllocation) stats->largestAllocation = total;
  std::unique_ptr<uint8_t[]> pixels(new (std::nothrow) uint8_t[total]);
  if (!pixels) return ImageError::OutOfMemory;

  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) return ImageError::Corrupt;
  config.output.colorspace = MODE_RGBA;  // straight alpha
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = pixels.get();
  config.output.u.RGBA.stride = static_cast<int>(rowBytes);
  config.output.u.RGBA.size = total;
  const VP8StatusCode status = WebPDecode(data, size, &config);
  WebPFreeDecBuffer(&config.output);  // external memory: frees nothing of ours
  if (status != VP8_STATUS_OK) return FromStatus(status);

  out->width = width;
  out->height = height;
  out->hasAlpha = features.has_alpha != 0;
  out->rgba = std::move(pixels);
  return ImageError::None;
}

}  // namespace imaging
