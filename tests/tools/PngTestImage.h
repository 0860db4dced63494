// Decodes PNG bytes for the tile server's tests (libpng's simplified reader), to RGB.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tileserver/TileStyle.h"

struct DecodedPng {
  bool ok = false;
  int width = 0;
  int height = 0;
  uint8_t bitDepth = 0;
  uint8_t colourType = 0;
  std::vector<uint8_t> rgb;

  tileserver::style::Rgb At(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

inline DecodedPng DecodePng(const std::string& bytes) {
  DecodedPng out;
  if (bytes.size() < 29 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return out;
  // The IHDR chunk follows the signature: width, height, bit depth, colour type.
  out.bitDepth = static_cast<uint8_t>(bytes[24]);
  out.colourType = static_cast<uint8_t>(bytes[25]);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return out;
  image.format = PNG_FORMAT_RGB;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  out.ok = png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return out;
}
