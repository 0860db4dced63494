#include "tilesources/MBTilesMetadata.h"

#include <charconv>
#include <cmath>

#include "platform/kernel/DecimalText.h"
#include "tilesources/TileSource.h"

namespace tilesources {

bool ParseMetadataZoom(std::string_view text, int& zoom) {
  int value = 0;
  if (!ParseDecimal(text, &value, {.sign = DecimalSign::kMinus}) || value < 0 || value > kMaxZoom) return false;
  zoom = value;
  return true;
}

bool ParseMetadataBounds(std::string_view text, double (&bounds)[4]) {
  double parsed[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = text.find(',', start);
    if ((i < 3) != (comma != std::string_view::npos)) return false;
    std::string_view part = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    const char* end = part.data() + part.size();
    auto [ptr, ec] = std::from_chars(part.data(), end, parsed[i]);
    if (part.empty() || ec != std::errc() || ptr != end || !std::isfinite(parsed[i])) return false;
    start = comma + 1;
  }
  if (!(parsed[0] >= -180 && parsed[2] <= 180 && parsed[1] >= -90 && parsed[3] <= 90 && parsed[0] < parsed[2] &&
        parsed[1] < parsed[3]))
    return false;
  for (int i = 0; i < 4; ++i) bounds[i] = parsed[i];
  return true;
}

}  // namespace tilesources
