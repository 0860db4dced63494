#include "tests/app/ScreenImage.h"

#include <spng.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

ScreenImage::ScreenImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("no screenshot at " + path);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr header{};
  size_t size = 0;
  if (spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size()) != 0 || spng_get_ihdr(ctx.get(), &header) != 0 ||
      spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0) {
    throw std::runtime_error("not a PNG: " + path);
  }
  rgba_.resize(size);
  if (spng_decode_image(ctx.get(), rgba_.data(), size, SPNG_FMT_RGBA8, 0) != 0) {
    throw std::runtime_error("cannot decode " + path);
  }
  width_ = static_cast<int>(header.width);
  height_ = static_cast<int>(header.height);
}

Rgb ScreenImage::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range("pixel outside the screenshot");
  const uint8_t* p = &rgba_[(static_cast<size_t>(y) * width_ + x) * 4];
  return Rgb{p[0], p[1], p[2]};
}

int ScreenImage::Differences(const ScreenImage& other, int left, int top, int right, int bottom) const {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += At(x, y) == other.At(x, y) ? 0 : 1;
  return n;
}
