#include "tests/platform/imaging/TestImages.h"

#include <png.h>

// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>

#include "platform/gfx/SurfaceDC.h"

namespace imaging_test {

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void NoFlush(png_structp) {}

[[noreturn]] void ThrowPngError(png_structp, png_const_charp message) { throw std::runtime_error(message); }

// Packs one row of samples as PNG stores them: big-endian 16-bit, or several samples per byte
// with the first in the high bits.
std::vector<png_byte> PackRow(const PngSpec& spec, int y) {
  const int perRow = spec.width * ChannelsOf(spec.colorType);
  const uint16_t* row = spec.samples.data() + size_t(y) * perRow;
  std::vector<png_byte> out;
  if (spec.bitDepth == 16) {
    for (int i = 0; i < perRow; ++i) {
      out.push_back(png_byte(row[i] >> 8));
      out.push_back(png_byte(row[i]));
    }
  } else if (spec.bitDepth == 8) {
    for (int i = 0; i < perRow; ++i) out.push_back(png_byte(row[i]));
  } else {
    const int perByte = 8 / spec.bitDepth;
    out.assign((perRow + perByte - 1) / perByte, 0);
    for (int i = 0; i < perRow; ++i) {
      const int shift = 8 - spec.bitDepth * (i % perByte + 1);
      out[i / perByte] |= png_byte(row[i] << shift);
    }
  }
  return out;
}

uint8_t To8(uint16_t sample, int bitDepth) {
  if (bitDepth == 16) return uint8_t(sample >> 8);
  return uint8_t(sample * 255 / ((1 << bitDepth) - 1));
}

}  // namespace

int ChannelsOf(int colorType) {
  switch (colorType) {
    case kGray: return 1;
    case kRgb: return 3;
    case kPalette: return 1;
    case kGrayAlpha: return 2;
    case kRgba: return 4;
  }
  return 0;
}

Bytes EncodePng(const PngSpec& spec) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, nullptr);
  png_infop info = png_create_info_struct(png);
  try {
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, png_uint_32(spec.width), png_uint_32(spec.height), spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (uint32_t c : spec.palette) palette.push_back(png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!spec.paletteAlpha.empty()) {
      png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    } else if (spec.hasTransparentColor) {
      png_color_16 color{};
      color.gray = spec.transparentGray;
      color.red = spec.transparentRgb[0];
      color.green = spec.transparentRgb[1];
      color.blue = spec.transparentRgb[2];
      png_set_tRNS(png, info, nullptr, 0, &color);
    }
    png_write_info(png, info);
    for (const auto& [type, contents] : spec.extraChunks) {
      png_write_chunk(png, reinterpret_cast<png_const_bytep>(type.c_str()), contents.data(), contents.size());
    }
    std::vector<std::vector<png_byte>> rows;
    std::vector<png_bytep> pointers;
    for (int y = 0; y < spec.height; ++y) rows.push_back(PackRow(spec, y));
    for (auto& row : rows) pointers.push_back(row.data());
    png_set_interlace_handling(png);
    png_write_image(png, pointers.data());
    png_write_end(png, info);
  } catch (...) {
    png_destroy_write_struct(&png, &info);
    throw;
  }
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes PngHeaderOnly(uint32_t width, uint32_t height, int colorType, int bitDepth) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<uint8_t> ExpectedRgba(const PngSpec& spec) {
  const int channels = ChannelsOf(spec.colorType);
  std::vector<uint8_t> out;
  for (int i = 0; i < spec.width * spec.height; ++i) {
    const uint16_t* s = spec.samples.data() + size_t(i) * channels;
    uint8_t r, g, b, a = 255;
    switch (spec.colorType) {
      case kGray:
        r = g = b = To8(s[0], spec.bitDepth);
        if (spec.hasTransparentColor && s[0] == spec.transparentGray) a = 0;
        break;
      case kGrayAlpha:
        r = g = b = To8(s[0], spec.bitDepth);
        a = To8(s[1], spec.bitDepth);
        break;
      case kRgb:
        r = To8(s[0], spec.bitDepth);
        g = To8(s[1], spec.bitDepth);
        b = To8(s[2], spec.bitDepth);
        if (spec.hasTransparentColor && s[0] == spec.transparentRgb[0] && s[1] == spec.transparentRgb[1] &&
            s[2] == spec.transparentRgb[2]) {
          a = 0;
        }
        break;
      case kRgba:
        r = To8(s[0], spec.bitDepth);
        g = To8(s[1], spec.bitDepth);
        b = To8(s[2], spec.bitDepth);
        a = To8(s[3], spec.bitDepth);
        break;
      default: {  // palette
        const uint32_t c = spec.palette.at(s[0]);
        r = uint8_t(c >> 16);
        g = uint8_t(c >> 8);
        b = uint8_t(c);
        if (s[0] < spec.paletteAlpha.size()) a = spec.paletteAlpha[s[0]];
      }
    }
    out.insert(out.end(), {r, g, b, a});
  }
  return out;
}

Bytes EncodeRgbPng(int width, int height, const std::vector<uint32_t>& pixels) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  spec.colorType = kRgb;
  for (uint32_t p : pixels) spec.samples.insert(spec.samples.end(), {uint16_t(p >> 16 & 0xFF), uint16_t(p >> 8 & 0xFF), uint16_t(p & 0xFF)});
  return EncodePng(spec);
}

Bytes EncodeJpeg(const JpegSpec& spec) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(spec.width);
  cinfo.image_height = JDIMENSION(spec.height);
  cinfo.input_components = spec.gray ? 1 : 3;
  cinfo.in_color_space = spec.gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, spec.quality, TRUE);
  if (spec.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  const int stride = spec.width * cinfo.input_components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(spec.samples.data() + size_t(cinfo.next_scanline) * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

long FindChunk(const Bytes& png, const char* type) {
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
    if (std::memcmp(&png[at + 4], type, 4) == 0) return long(at);
    at += 12 + size_t(length);
  }
  return -1;
}

TestSurface::TestSurface(int width, int height, uint32_t fill)
    : TestSurface(width, height, fill, 0, 0, RECT{0, 0, width, height}) {}

TestSurface::TestSurface(int width, int height, uint32_t fill, int originX, int originY, RECT clip)
    : width_(width), height_(height), pixels_(size_t(width) * height, fill) {
  dc_ = CreateSurfaceDC(Surface(), originX, originY, clip);
  if (dc_ == nullptr) throw std::runtime_error("CreateSurfaceDC failed");
}

TestSurface::~TestSurface() { DeleteDC(dc_); }

}  // namespace imaging_test
