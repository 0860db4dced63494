// The view's tile source: the tile servers of the URL rule ("default"), or a source of the
// tile-source library that new tiles are read from on workers, with its attribution and levels.
#pragma once

#include "mapview/MapViewRecord.h"

// Opens the source the text names (on this thread, within the library's time limits for a file)
// and makes it the view's: the tiles held are dropped (reads of the old source are cancelled
// without waiting for them), the layers are redrawn from the new one. 0 and nothing changes on
// any error, with the reason in `lastError`.
int32_t SetTileSource(OMMapView* view, const char* text);
// The attribution the view draws: the application's text if it gave one, else the source's.
void UpdateAttribution(OMMapView* view);
