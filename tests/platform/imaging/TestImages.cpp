#include "tests/platform/imaging/TestImages.h"

#include <png.h>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>
#include <webp/encode.h>

#include "platform/gfx/SurfaceDC.h"

namespace imaging_test {

namespace {

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
[[noreturn]] void Throw(png_structp, png_const_charp message) { throw std::runtime_error(message); }

// One row as PNG stores it: 16-bit big-endian, or several samples a byte, the first highest.
std::vector<png_byte> PackRow(const PngRecipe& recipe, int y) {
  const int count = recipe.width * ChannelsOf(recipe.colorType);
  const uint16_t* row = recipe.samples.data() + size_t(y) * count;
  const int depth = recipe.bitDepth;
  std::vector<png_byte> out((count * depth + 7) / 8, 0);
  for (int i = 0; i < count; ++i) {
    if (depth == 16) {
      out[2 * i] = png_byte(row[i] >> 8);
      out[2 * i + 1] = png_byte(row[i]);
    } else {
      out[i * depth / 8] |= png_byte(row[i] << (8 - depth - i * depth % 8));
    }
  }
  return out;
}

uint8_t To8(uint16_t sample, int depth) {
  return depth == 16 ? uint8_t(sample >> 8) : uint8_t(sample * 255 / ((1 << depth) - 1));
}

template <typename Body>
Bytes WritePng(uint32_t width, uint32_t height, int colorType, int depth, bool interlaced, Body body) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Throw, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, width, height, depth, colorType, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  body(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

int ChannelsOf(int colorType) {
  return colorType == kRgb ? 3 : colorType == kGrayAlpha ? 2 : colorType == kRgba ? 4 : 1;
}

Bytes EncodePng(const PngRecipe& recipe) {
  return WritePng(recipe.width, recipe.height, recipe.colorType, recipe.bitDepth, recipe.interlaced,
                  [&](png_structp png, png_infop info) {
                    std::vector<png_color> palette;
                    for (uint32_t c : recipe.palette)
                      palette.push_back(png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
                    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
                    png_color_16 key{0, recipe.key[0], recipe.key[1], recipe.key[2], recipe.key[0]};
                    if (!recipe.paletteAlpha.empty())
                      png_set_tRNS(png, info, recipe.paletteAlpha.data(), int(recipe.paletteAlpha.size()), nullptr);
                    if (recipe.keyed) png_set_tRNS(png, info, nullptr, 0, &key);
                    png_write_info(png, info);
                    std::vector<std::vector<png_byte>> rows;
                    std::vector<png_bytep> pointers;
                    for (int y = 0; y < recipe.height; ++y) rows.push_back(PackRow(recipe, y));
                    for (auto& row : rows) pointers.push_back(row.data());
                    png_set_interlace_handling(png);
                    png_write_image(png, pointers.data());
                    png_write_end(png, info);
                  });
}

Bytes PngHeaderOnly(uint32_t width, uint32_t height, int colorType) {
  return WritePng(width, height, colorType, 8, false,
                  [](png_structp png, png_infop info) { png_write_info(png, info); });
}

std::vector<uint8_t> ExpectedRgba(const PngRecipe& recipe) {
  const int channels = ChannelsOf(recipe.colorType);
  const int depth = recipe.bitDepth;
  std::vector<uint8_t> out;
  for (int i = 0; i < recipe.width * recipe.height; ++i) {
    const uint16_t* s = recipe.samples.data() + size_t(i) * channels;
    uint8_t a = 255;
    if (recipe.colorType == kPalette) {
      const uint32_t c = recipe.palette.at(s[0]);
      if (s[0] < recipe.paletteAlpha.size()) a = recipe.paletteAlpha[s[0]];
      out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), a});
      continue;
    }
    const bool gray = channels < 3;
    if (channels == 2 || channels == 4) a = To8(s[channels - 1], depth);
    if (recipe.keyed && s[0] == recipe.key[0] && (gray || (s[1] == recipe.key[1] && s[2] == recipe.key[2]))) a = 0;
    out.insert(out.end(), {To8(s[0], depth), To8(s[gray ? 0 : 1], depth), To8(s[gray ? 0 : 2], depth), a});
  }
  return out;
}

Bytes EncodeRgbPng(int width, int height, const std::vector<uint32_t>& pixels) {
  PngRecipe recipe{width, height};
  for (uint32_t p : pixels)
    recipe.samples.insert(recipe.samples.end(),
                          {uint16_t(p >> 16 & 0xFF), uint16_t(p >> 8 & 0xFF), uint16_t(p & 0xFF)});
  return EncodePng(recipe);
}

Bytes EncodeJpeg(int width, int height, bool gray, bool progressive, const std::vector<uint8_t>& samples) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = gray ? 1 : 3;
  cinfo.in_color_space = gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(cinfo.next_scanline) * width * cinfo.input_components);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

Bytes EncodeWebp(int width, int height, bool lossless, const std::vector<uint8_t>& rgba) {
  uint8_t* buffer = nullptr;
  const size_t size = lossless ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &buffer)
                               : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 90.0f, &buffer);
  if (size == 0) throw std::runtime_error("WebP encoding failed");
  Bytes out(buffer, buffer + size);
  WebPFree(buffer);
  return out;
}

TestSurface::TestSurface(int width, int height, uint32_t fill, int originX, int originY, RECT clip)
    : width_(width), pixels_(size_t(width) * height, fill) {
  dc_ = CreateSurfaceDC(PixelSurface{pixels_.data(), width, height, width}, originX, originY, clip);
  if (dc_ == nullptr) throw std::runtime_error("CreateSurfaceDC failed");
}

}  // namespace imaging_test
