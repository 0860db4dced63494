// Paints 256 x 256 tiles of the world map with cairo: sea, land with a thin coast line, and the
// borders between countries, in the project's spherical Mercator (projection/MercatorProjection).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "tools/worldmap/WorldData.h"

namespace worldmap {

class TilePainter {
 public:
  static constexpr int kTileSide = 256;
  static constexpr int kMaxZoom = 17;

  explicit TilePainter(const WorldData& world);
  ~TilePainter();
  TilePainter(const TilePainter&) = delete;
  TilePainter& operator=(const TilePainter&) = delete;

  // Projects the world for level `zoom` (0 to kMaxZoom); Paint then draws that level's tiles.
  void SetZoom(int zoom);
  // The tile's pixels, row by row, each 0x00RRGGBB; valid until the next Paint.
  const std::vector<uint32_t>& Paint(int x, int y);

 private:
  struct Box {
    double left, top, right, bottom;
    bool Meets(const Box& other) const {
      return left <= other.right && other.left <= right && top <= other.bottom && other.top <= bottom;
    }
  };
  struct Shape {
    std::vector<double> xy;  // world pixels at the current level
    Box box;
  };

  void Project(const std::vector<GeoPoint>& points, Shape& shape) const;
  void AddRings(cairo_t* cr, const Box& tile) const;

  const WorldData& world_;
  int zoom_ = -1;
  double pixelsPerDegree_ = 0.0, pixelsPerRadian_ = 0.0, centre_ = 0.0;
  std::vector<Shape> rings_;
  std::vector<Shape> borders_;
  cairo_surface_t* surface_ = nullptr;
  std::vector<uint32_t> pixels_;
};

}  // namespace worldmap
