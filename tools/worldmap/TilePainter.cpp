#include "tools/worldmap/TilePainter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "projection/MercatorProjection.h"
#include "tools/worldmap/MapStyle.h"

namespace worldmap {
namespace {

// The latitude of the square world's top and bottom edges: beyond it a point would leave the map
// (the pole itself lies at infinity), so rings reaching the pole end on the edge instead.
constexpr double kMaxLatitude = 85.0511287798066;
constexpr double kDegreesToRadians = 0.017453292519943295;

void SetColour(cairo_t* cr, style::Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

// Twice the ring's signed area in pixels (y down): positive when it runs clockwise on screen.
double SignedArea(const std::vector<double>& xy) {
  double sum = 0.0;
  const size_t n = xy.size() / 2;
  for (size_t i = 0, j = n - 1; i < n; j = i++) sum += xy[2 * j] * xy[2 * i + 1] - xy[2 * i] * xy[2 * j + 1];
  return sum;
}

}  // namespace

TilePainter::TilePainter(const WorldData& world) : world_(world) {
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kTileSide, kTileSide);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cairo: no image surface");
  pixels_.resize(static_cast<size_t>(kTileSide) * kTileSide);
}

TilePainter::~TilePainter() { cairo_surface_destroy(surface_); }

void TilePainter::Project(const std::vector<GeoPoint>& points, Shape& shape) const {
  shape.xy.clear();
  shape.xy.reserve(points.size() * 2);
  shape.box = {INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const GeoPoint& p : points) {
    const double latitude = std::clamp(p.latitude, -kMaxLatitude, kMaxLatitude);
    const double s = std::sin(latitude * kDegreesToRadians);
    const double x = p.longitude * pixelsPerDegree_ + centre_;
    const double y = -pixelsPerRadian_ * std::log((1 + s) / (1 - s)) * 0.5 + centre_;
    shape.xy.push_back(x);
    shape.xy.push_back(y);
    shape.box = {std::min(shape.box.left, x), std::min(shape.box.top, y), std::max(shape.box.right, x),
                 std::max(shape.box.bottom, y)};
  }
}

void TilePainter::SetZoom(int zoom) {
  if (zoom < 0 || zoom > kMaxZoom) throw std::out_of_range("zoom level");
  zoom_ = zoom;
  MercatorProjection projection;
  pixelsPerDegree_ = projection.PixelsPerDegree()[zoom];
  pixelsPerRadian_ = projection.PixelsPerRadian()[zoom];
  centre_ = projection.CenterPixel()[zoom];
  rings_.resize(world_.rings.size());
  for (size_t i = 0; i < rings_.size(); ++i) {
    Project(world_.rings[i].points, rings_[i]);
    // Outer rings clockwise and holes counter-clockwise, so that the non-zero rule fills all land
    // in one path: no seams where countries meet, and a hole filled again by a country inside it.
    if ((SignedArea(rings_[i].xy) > 0) == world_.rings[i].hole) {
      std::vector<double>& xy = rings_[i].xy;
      for (size_t a = 0, b = xy.size() - 2; a < b; a += 2, b -= 2) {
        std::swap(xy[a], xy[b]);
        std::swap(xy[a + 1], xy[b + 1]);
      }
    }
  }
  borders_.resize(world_.borders.size());
  for (size_t i = 0; i < borders_.size(); ++i) Project(world_.borders[i], borders_[i]);
}

void TilePainter::AddRings(cairo_t* cr, const Box& tile) const {
  for (const Shape& ring : rings_) {
    if (!ring.box.Meets(tile)) continue;
    cairo_move_to(cr, ring.xy[0], ring.xy[1]);
    for (size_t i = 2; i < ring.xy.size(); i += 2) cairo_line_to(cr, ring.xy[i], ring.xy[i + 1]);
    cairo_close_path(cr);
  }
}

const std::vector<uint32_t>& TilePainter::Paint(int x, int y) {
  if (zoom_ < 0) throw std::logic_error("TilePainter::Paint before SetZoom");
  const double left = static_cast<double>(x) * kTileSide, top = static_cast<double>(y) * kTileSide;
  // Shapes this far outside the tile cannot reach into it, not even with their lines' width.
  const double margin = 2.0 * std::max(style::CoastWidth(zoom_), style::BorderWidth(zoom_));
  const Box tile{left - margin, top - margin, left + kTileSide + margin, top + kTileSide + margin};

  cairo_t* cr = cairo_create(surface_);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
  SetColour(cr, style::kSea);
  cairo_paint(cr);
  cairo_translate(cr, -left, -top);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

  // The coast line: every ring's outline, whose inner half the land then covers. Where countries
  // meet, and along the edges of the map where rings are cut, land covers it on both sides.
  AddRings(cr, tile);
  SetColour(cr, style::kCoast);
  cairo_set_line_width(cr, style::CoastWidth(zoom_));
  cairo_stroke_preserve(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  SetColour(cr, style::kLand);
  cairo_fill(cr);

  SetColour(cr, style::kBorder);
  cairo_set_line_width(cr, style::BorderWidth(zoom_));
  for (const Shape& line : borders_) {
    if (!line.box.Meets(tile)) continue;
    cairo_move_to(cr, line.xy[0], line.xy[1]);
    for (size_t i = 2; i < line.xy.size(); i += 2) cairo_line_to(cr, line.xy[i], line.xy[i + 1]);
  }
  cairo_stroke(cr);
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(std::string("cairo: ") + cairo_status_to_string(status));

  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  for (int row = 0; row < kTileSide; ++row) {
    const auto* source = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(row) * stride);
    for (int column = 0; column < kTileSide; ++column) {
      pixels_[static_cast<size_t>(row) * kTileSide + column] = source[column] & 0x00FFFFFFu;
    }
  }
  return pixels_;
}

}  // namespace worldmap
