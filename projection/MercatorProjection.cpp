#include "projection/MercatorProjection.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kOneOver360 = 0.002777777777777778;
constexpr double kOneOverTwoPi = 0.15915494309189535;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr double kSineLimit = 0.9999;
constexpr int32_t kTileSide = 256;
constexpr double kMaxZoom = 17.0;
constexpr double kMinZoom = 1.0;

// floor(value), as a signed 32-bit integer; values beyond the range saturate instead of being
// undefined (callers pass real positions, whose pixels always fit).
int32_t FloorToInt32(double value) {
  const double f = std::floor(value);
  if (!(f >= static_cast<double>(std::numeric_limits<int32_t>::min()))) {
    return std::isnan(f) ? 0 : std::numeric_limits<int32_t>::min();
  }
  if (f > static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(f);
}

}  // namespace

int32_t ZoomLevelOf(double zoom) {
  if (std::isnan(zoom)) return 0;
  if (zoom >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (zoom <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(zoom);  // truncates toward zero
}

MercatorProjection::MercatorProjection() {
  double size = 256.0;
  int32_t n = 0;
  do {
    pixelsPerDegree.push_back(size * kOneOver360);
    pixelsPerRadian.push_back(size * kOneOverTwoPi);
    centerPixel.push_back(size * 0.5);
    size = size * 2.0;
    n = n + 1;
  } while (n < ZoomLevelCount);
}

bool MercatorProjection::IsValidZoomLevel(int32_t level) const {
  const double d = static_cast<double>(level);
  if (d > kMaxZoom) return false;
  if (!(d >= kMinZoom)) return false;
  return true;
}

PixelPoint MercatorProjection::LatLonToPixel(double latitude, double longitude, double zoom) {
  const int32_t level = ZoomLevelOf(zoom);
  PixelPoint result{0, 0};
  if (!IsValidZoomLevel(level)) return result;
  result.x = FloorToInt32(longitude * pixelsPerDegree[level] + centerPixel[level] + 0.5);
  double s = std::sin(latitude * kDegreesToRadians);
  if (!(s > -kSineLimit)) s = -kSineLimit;
  if (!(s < kSineLimit)) s = kSineLimit;
  const double m = std::log((1 + s) / (1 - s));
  result.y = FloorToInt32(((-1.0 * pixelsPerRadian[level]) * m) * 0.5 + centerPixel[level] + 0.5);
  return result;
}

GeoPoint MercatorProjection::PixelToLatLon(int32_t x, int32_t y, double zoom) {
  const int32_t level = ZoomLevelOf(zoom);
  GeoPoint result{0.0, 0.0};
  if (!IsValidZoomLevel(level)) return result;
  result.longitude = (static_cast<double>(x) - centerPixel[level]) / pixelsPerDegree[level];
  const double t = (static_cast<double>(y) - centerPixel[level]) / (-1.0 * pixelsPerRadian[level]);
  result.latitude = (2.0 * std::atan(std::exp(t)) - kHalfPi) * kRadiansToDegrees;
  return result;
}

TilePoint MercatorProjection::PixelToTile(int32_t x, int32_t y) {
  return TilePoint{x / kTileSide, y / kTileSide};  // C++ division truncates toward zero
}

PixelPoint MercatorProjection::TileToPixel(int32_t tx, int32_t ty) {
  // Wrapping multiplication: tiles of real positions never overflow, and wrapping keeps it defined.
  return PixelPoint{static_cast<int32_t>(static_cast<uint32_t>(tx) * kTileSide),
                    static_cast<int32_t>(static_cast<uint32_t>(ty) * kTileSide)};
}

SizeCounts MercatorProjection::TilesPerSide(double zoom) {
  const int32_t level = ZoomLevelOf(zoom);
  // 2^level fits a signed 32-bit count for levels 0 to 30; below that there is less than one
  // tile and above it the count is capped, rather than shifting out of range.
  int32_t n = 0;
  if (level >= 0 && level <= 30) {
    n = int32_t{1} << level;
  } else if (level > 30) {
    n = std::numeric_limits<int32_t>::max();
  }
  return SizeCounts{n, n};
}

SizeCounts MercatorProjection::TileSize() { return SizeCounts{kTileSide, kTileSide}; }

double MercatorProjection::DefaultZoom() { return 13.0; }
double MercatorProjection::MaxZoom() { return kMaxZoom; }
double MercatorProjection::MinZoom() { return kMinZoom; }
