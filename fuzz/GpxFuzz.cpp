// The GPX reader on any bytes, fed in chunks whose size the first byte chooses (so that tokens
// split across chunks are read too): it never crashes, a refusal is one line naming the source,
// and what it accepts holds only positions within ±90 / ±180 and names within the limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gpx/GpxParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk = 1 + data[0] % 97;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  gpx::GpxCollector collector;
  gpx::GpxParser parser("fuzz.gpx", collector);
  bool good = true;
  while (good && !rest.empty()) {
    const size_t n = rest.size() < chunk ? rest.size() : chunk;
    good = parser.Feed(rest.substr(0, n));
    rest.remove_prefix(n);
  }
  if (good) good = parser.Finish();
  const std::string& error = parser.Error();
  if (good != error.empty()) __builtin_trap();
  if (!good && (error.rfind("fuzz.gpx:", 0) != 0 || error.find('\n') != std::string::npos)) __builtin_trap();
  auto inside = [](const gpx::LatLon& p) {
    return p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180;
  };
  for (const gpx::Waypoint& w : collector.Data().waypoints)
    if (!inside(w.position) || w.name.size() > gpx::kMaxNameBytes) __builtin_trap();
  for (const gpx::Line& line : collector.Data().lines) {
    if (good && line.points.empty()) __builtin_trap();  // a refused read may stop inside a line
    for (const gpx::LatLon& p : line.points)
      if (!inside(p)) __builtin_trap();
  }
  return 0;
}
