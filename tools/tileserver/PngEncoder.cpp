#include "tools/tileserver/PngEncoder.h"

#include <png.h>

#include <csetjmp>

namespace tileserver {
namespace {

void WriteToString(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

// The PNG of `rows` rows of `rowBytes` bytes each from `pixels`; `header` sets the image's header
// (and palette) on the info struct. Empty when libpng fails.
template <typename Header>
std::string Encode(const uint8_t* pixels, size_t rowBytes, int rows, int compressionLevel, Header header) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return {};
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, WriteToString, FlushNothing);
  png_set_compression_level(png, compressionLevel);
  header(png, info);
  png_write_info(png, info);
  for (int y = 0; y < rows; ++y) png_write_row(png, const_cast<png_bytep>(pixels + static_cast<size_t>(y) * rowBytes));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

std::string PngEncoder::EncodeRgb(const std::vector<uint8_t>& rgb, int width, int height, int compressionLevel) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * height * 3) return {};
  return Encode(rgb.data(), static_cast<size_t>(width) * 3, height, compressionLevel, [&](png_structp png, png_infop info) {
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  });
}

std::string PngEncoder::EncodeIndexed(const std::vector<uint8_t>& indices,
                                      const std::vector<std::array<uint8_t, 3>>& palette, int width, int height,
                                      int compressionLevel) {
  if (width <= 0 || height <= 0 || indices.size() != static_cast<size_t>(width) * height) return {};
  if (palette.empty() || palette.size() > 256) return {};
  for (uint8_t index : indices) {
    if (index >= palette.size()) return {};
  }
  const int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
  // Pack the indices into rows of `depth` bits each, the first pixel in the high bits.
  const int perByte = 8 / depth;
  const size_t rowBytes = (static_cast<size_t>(width) + perByte - 1) / perByte;
  std::vector<uint8_t> packed(rowBytes * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - depth * (x % perByte + 1);
      packed[y * rowBytes + x / perByte] |= static_cast<uint8_t>(indices[static_cast<size_t>(y) * width + x] << shift);
    }
  }
  return Encode(packed.data(), rowBytes, height, compressionLevel, [&](png_structp png, png_infop info) {
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), depth,
                 PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colours;
    for (const auto& c : palette) colours.push_back({c[0], c[1], c[2]});
    png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
    // Palette images compress best unfiltered.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  });
}

}  // namespace tileserver
