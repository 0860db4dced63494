// Tiles into the map layer: requesting the tiles of a rectangle and drawing each one as it arrives.
#pragma once

#include "mapview/MapViewRecord.h"
#include "tiles/TileDrawInfo.h"

// The tile layer's callback (context: the view). Runs on the GUI thread for a tile already held
// and on the tile's download thread otherwise. Fires OMEventTypeMapWillLoad, draws the tile at its
// world position relative to `bufferRect` under `lock` (a tile without data paints its rectangle
// white, so the placeholder shows there), invalidates the window, fires OMEventTypeMapLoaded.
void OnTileReady(const TileDrawInfo* info, void* context);

// Requests the tiles covering `rect` (right and bottom inclusive) at the view's zoom, reporting to
// OnTileReady. Called on the GUI thread without `lock` held. Tiles already held are drawn, with
// their events, before it returns.
void RequestViewTiles(OMMapView* view, const PixelRect& rect);
