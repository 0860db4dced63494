// The map as painting shows it, kept between paints: the map layer with the tracks and the markers
// drawn over it, in the map layer's pixels. A drag only moves the map layer against the window, so
// the picture does not change with it: a paint copies the window's part of the picture in one
// piece. Only the map layer's white pixels (the colour key) that no opaque track or marker pixel
// covers depend on the drag, because the placeholder grid shows through them and does not move
// with the map; the picture keeps them as runs per row and fills them from the placeholder layer
// at the drag's offset before each copy.
//
// A tile drawn, and a marker added, moved or removed, marks its rectangle, which the next paint
// composes again, and a scroll of the map layer scrolls the picture and composes the uncovered
// strips; a rebuild of the map layer, another move of `bufferRect`, a zoom, a track change or
// clearing the markers makes the whole picture again.
#pragma once

#include <cstdint>
#include <vector>

#include "mapview/MapViewRecord.h"

struct KeyRun {
  int32_t left, right;  // picture columns [left, right) where the placeholder shows
};

struct MapPicture {
  MapPicture() = default;
  ~MapPicture();
  MapPicture(const MapPicture&) = delete;
  MapPicture& operator=(const MapPicture&) = delete;

  HDC dc = nullptr;
  HBITMAP oldBitmap = nullptr;
  uint32_t* bits = nullptr;  // row after row
  SizeCounts size{0, 0};  // rows of `size.width` pixels
  // What the picture shows: made for this `bufferRect`, zoom, projection and overlays.
  PixelRect bufferRect{0, 0, 0, 0};
  double zoom = 0.0;
  MapProjection* projection = nullptr;
  uint32_t overlayGeneration = 0;
  bool whole = true;              // everything is to be composed again
  std::vector<PixelRect> dirty;   // map-layer rectangles drawn since the last compose
  std::vector<std::vector<KeyRun>> keys;  // per row, left to right
};

// The whole picture is to be made again. The caller holds `lock`.
void MarkPictureStale(OMMapView* view);
// A rectangle of the map layer (its pixels) changed. The caller holds `lock`.
void MarkPictureRect(OMMapView* view, const PixelRect& rect);
// The map layer was scrolled by (dx, dy) (its pixel (dx, dy) moved to (0, 0)), `bufferRect` moved
// with it and the uncovered columns and rows were filled: the picture is scrolled alike and only
// those columns and rows are composed again. The caller holds `lock`.
void ScrollPicture(OMMapView* view, int32_t dx, int32_t dy);
// Frees the picture. The caller holds `lock`.
void FreePicture(OMMapView* view);

// Brings the picture up to date with the map layer and the overlays; false when there is none to
// show (no layers, or no memory for it), and painting then composes the window as the layers are.
// The caller holds `lock`.
bool UpdatePicture(OMMapView* view);
// Copies the picture's `width` x `height` rectangle at (u, v) to the target at (x, y), the
// placeholder showing through its key runs as it lies under a map layer shifted by (ox, oy):
// picture pixel (u, v) lies over placeholder-layer pixel (u - ox, v - oy), which must lie inside
// that layer for the whole rectangle. The caller holds `lock` and has updated the picture.
void ShowPicture(OMMapView* view, HDC target, int32_t x, int32_t y, int32_t width, int32_t height, int32_t u,
                 int32_t v, int32_t ox, int32_t oy);
