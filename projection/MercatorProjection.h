// Spherical Mercator on a square world of 256 * 2^z pixels at level z, cut into 256 x 256 tiles,
// with usable levels 1 to 17.
#pragma once

#include <vector>

#include "projection/MapProjection.h"

class MercatorProjection : public MapProjection {
 public:
  static constexpr int32_t ZoomLevelCount = 18;  // table entries: levels 0 to 17

  MercatorProjection();

  char16_t* BuildTileUrl(int32_t tileX, int32_t tileY, double zoom, char16_t* buffer, size_t capacity) override;
  PixelPoint LatLonToPixel(double latitude, double longitude, double zoom) override;
  GeoPoint PixelToLatLon(int32_t x, int32_t y, double zoom) override;
  TilePoint PixelToTile(int32_t x, int32_t y) override;
  PixelPoint TileToPixel(int32_t tx, int32_t ty) override;
  SizeCounts TilesPerSide(double zoom) override;
  SizeCounts TileSize() override;
  double DefaultZoom() override;
  double MaxZoom() override;
  double MinZoom() override;
  ~MercatorProjection() override = default;

  bool IsValidZoomLevel(int32_t level) const;

  // The per-level tables, read-only after construction.
  const std::vector<double>& PixelsPerDegree() const { return pixelsPerDegree; }
  const std::vector<double>& PixelsPerRadian() const { return pixelsPerRadian; }
  const std::vector<double>& CenterPixel() const { return centerPixel; }

 private:
  std::vector<double> pixelsPerDegree;
  std::vector<double> pixelsPerRadian;
  std::vector<double> centerPixel;
};

// The zoom level of a zoom: truncated toward zero to a signed 32-bit integer. Zooms beyond the
// 32-bit range saturate, and NaN gives 0, so the conversion is always defined.
int32_t ZoomLevelOf(double zoom);
