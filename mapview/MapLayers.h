// The control's two off-screen layers, both exactly as large as `bufferRect`: the map layer, white
// where no tile has been drawn, and the placeholder layer, a grid of the placeholder image.
#pragma once

#include "mapview/MapViewRecord.h"

// The placeholder layer repeats the placeholder image in cells of this side from its left-top
// corner, so its pixel (x, y) is that of (x mod side, y mod side).
constexpr int32_t kPlaceholderCell = 256;

// A memory surface of `width` x `height` compatible with the window's display (selected into *dc;
// *size is 0 x 0 when the bitmap could not be made). The window's context is taken before the
// caller takes `lock`, so that thread never waits for the window system while a download thread
// waits for the lock. With `bits`, the surface's pixels are also the caller's to read and write
// (rows `width` pixels apart).
void MakeLayerSurface(HDC windowDC, int32_t width, int32_t height, HDC* dc, HBITMAP* oldBitmap, SizeCounts* size,
                      uint32_t** bits = nullptr);
// Frees what MakeLayerSurface made (nothing when *dc is null) and zeroes the fields.
void FreeLayerSurface(HDC* dc, HBITMAP* oldBitmap, SizeCounts* size, uint32_t** bits = nullptr);

// Replaces the map layer with a white one of `bufferRect`'s size. Holds `lock` while it swaps the
// layer, so a tile drawn on a download thread never meets a half-replaced layer. 1.
int32_t RebuildMapLayer(OMMapView* view);
// Replaces the placeholder layer with a new grid of the placeholder image. 1.
int32_t RebuildPlaceholderLayer(OMMapView* view);
// Frees both layers, under `lock`.
void FreeLayers(OMMapView* view);

// Layer width and height: those of `bufferRect`.
int32_t LayerWidth(const OMMapView* view);
int32_t LayerHeight(const OMMapView* view);
