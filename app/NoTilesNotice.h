// When the default tile servers give no tile within a few seconds of start, a line over the map
// tells the user what to set instead of leaving an empty grid; it goes once a tile arrives.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

// Messages the notice posts to the main window.
constexpr UINT kMessageCheckTiles = WM_APP + 1;  // the wait is over: show the notice if no tile came
constexpr UINT kMessageTileCame = WM_APP + 2;    // a tile came while the notice shows: hide it

constexpr DWORD kNoTilesWaitMs = 5000;
constexpr const char16_t* kNoTilesText = u"No tiles: set --tiles or AMBREL_TILES (see ambrel --help)";

// Starts the wait (on a thread of its own, so the GUI thread never waits) for `mainWindow`, whose
// map view occupies `mapArea` of its client area.
void WatchForTiles(HWND mainWindow, const RECT& mapArea);
// From the map's event handler, on any thread: a tile was drawn.
void NoteTileDrawn();
// The main window's handler of the two messages above.
void OnNoticeMessage(HWND mainWindow, UINT message);

}  // namespace ambrel
