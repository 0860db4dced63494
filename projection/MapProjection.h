// The interface through which the map library converts between geographic positions, world pixels
// and tiles, and names the URL of a tile. The order of the virtual operations is fixed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "projection/ProjectionTypes.h"

class MapProjection {
 public:
  // Writes the tile's URL into `buffer` (at most `capacity` characters, terminated) and returns
  // `buffer`.
  virtual char16_t* BuildTileUrl(int32_t tileX, int32_t tileY, double zoom, char16_t* buffer, size_t capacity) = 0;
  // The world pixel of a geographic position.
  virtual PixelPoint LatLonToPixel(double latitude, double longitude, double zoom) = 0;
  // The position of the pixel's north-west corner.
  virtual GeoPoint PixelToLatLon(int32_t x, int32_t y, double zoom) = 0;
  // The tile holding a world pixel.
  virtual TilePoint PixelToTile(int32_t x, int32_t y) = 0;
  // The tile's north-west corner.
  virtual PixelPoint TileToPixel(int32_t tx, int32_t ty) = 0;
  // Tiles along each side of the world square.
  virtual SizeCounts TilesPerSide(double zoom) = 0;
  // A tile's width and height in pixels.
  virtual SizeCounts TileSize() = 0;
  virtual double DefaultZoom() = 0;
  virtual double MaxZoom() = 0;
  virtual double MinZoom() = 0;
  virtual ~MapProjection() = default;
};
