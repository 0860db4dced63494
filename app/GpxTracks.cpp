#include "app/GpxTracks.h"

#include <cstdint>
#include <limits>

namespace ambrel {

namespace {

constexpr uint32_t kTrackRgb = 0xD0309F;  // magenta: apart from the map's own colours
constexpr uint32_t kRouteRgb = 0x1F5FD0;  // blue
[[maybe_unused]] constexpr int32_t kLineWidthPixels = 3;

}  // namespace

void ShowGpxTracks([[maybe_unused]] OMMapView* view, const std::vector<gpx::Line>& lines) {
  std::vector<double> latLon;  // interleaved latitude, longitude pairs, as the control takes them
  for (const gpx::Line& line : lines) {
    if (line.points.size() < 2 || line.points.size() > std::numeric_limits<uint32_t>::max()) continue;
    latLon.clear();
    latLon.reserve(2 * line.points.size());
    for (const gpx::LatLon& point : line.points) {
      latLon.push_back(point.latitude);
      latLon.push_back(point.longitude);
    }
    [[maybe_unused]] const uint32_t count = static_cast<uint32_t>(line.points.size());
    [[maybe_unused]] const uint32_t rgb = line.kind == gpx::LineKind::Track ? kTrackRgb : kRouteRgb;
    // OMMapViewAddPolyline(view, latLon.data(), count, rgb, kLineWidthPixels);  // TODO(lead): connect once the polyline call lands
  }
}

}  // namespace ambrel
