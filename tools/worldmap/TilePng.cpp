#include "tools/worldmap/TilePng.h"

#include <array>
#include <unordered_map>

#include "tools/tileserver/PngEncoder.h"

namespace worldmap {

std::string EncodeTilePng(const std::vector<uint32_t>& pixels, int side) {
  using tileserver::PngEncoder;
  // Palette entries in the order the colours first appear, so that the bytes are the same on
  // every run.
  std::unordered_map<uint32_t, uint8_t> index;
  std::vector<std::array<uint8_t, 3>> palette;
  std::vector<uint8_t> indices;
  indices.reserve(pixels.size());
  for (uint32_t pixel : pixels) {
    auto found = index.find(pixel);
    if (found == index.end()) {
      if (palette.size() == 256) break;
      found = index.emplace(pixel, static_cast<uint8_t>(palette.size())).first;
      palette.push_back({static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)});
    }
    indices.push_back(found->second);
  }
  if (indices.size() == pixels.size()) {
    return PngEncoder::EncodeIndexed(indices, palette, side, side, PngEncoder::kSmallestCompressionLevel);
  }
  std::vector<uint8_t> rgb;
  rgb.reserve(pixels.size() * 3);
  for (uint32_t pixel : pixels) {
    rgb.push_back(static_cast<uint8_t>(pixel >> 16));
    rgb.push_back(static_cast<uint8_t>(pixel >> 8));
    rgb.push_back(static_cast<uint8_t>(pixel));
  }
  return PngEncoder::EncodeRgb(rgb, side, side, PngEncoder::kSmallestCompressionLevel);
}

}  // namespace worldmap
