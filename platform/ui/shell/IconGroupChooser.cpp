#include "platform/ui/shell/IconGroupChooser.h"

#include <cstring>
#include <tuple>

namespace ui::shell {

namespace {

int BitsPerPixel(const GRPICONDIRENTRY& entry) {
  if (entry.wBitCount != 0) return entry.wBitCount;
  if (entry.bColorCount == 0) return 8;  // 256 colours are written as 0
  int bits = 1;
  while ((1 << bits) < entry.bColorCount) ++bits;
  return bits;
}

// Higher is better: exact size, then larger ones (the smaller of them better), then smaller ones
// (the larger of them better); the colour depth decides between images of one size.
std::tuple<int, int64_t, int> Rank(int w, int h, int bits, int width, int height) {
  if (w == width && h == height) return {2, 0, bits};
  const int64_t area = int64_t(w) * h;
  if (w >= width && h >= height) return {1, -area, bits};
  return {0, area, bits};
}

}  // namespace

std::optional<IconChoice> ChooseIconImage(const uint8_t* directory, size_t size, int width, int height) {
  GRPICONDIR header{};
  if (directory == nullptr || size < sizeof header) return std::nullopt;
  std::memcpy(&header, directory, sizeof header);
  if (header.idType != 1 || header.idCount == 0) return std::nullopt;
  if (size < sizeof header + size_t(header.idCount) * sizeof(GRPICONDIRENTRY)) return std::nullopt;

  std::optional<IconChoice> best;
  std::tuple<int, int64_t, int> bestRank{};
  for (size_t i = 0; i < header.idCount; ++i) {
    GRPICONDIRENTRY entry{};
    std::memcpy(&entry, directory + sizeof header + i * sizeof entry, sizeof entry);
    const int w = entry.bWidth == 0 ? 256 : entry.bWidth;
    const int h = entry.bHeight == 0 ? 256 : entry.bHeight;
    const auto rank = Rank(w, h, BitsPerPixel(entry), width, height);
    if (!best || rank > bestRank) {
      best = IconChoice{entry.nId, w, h};
      bestRank = rank;
    }
  }
  return best;
}

}  // namespace ui::shell
