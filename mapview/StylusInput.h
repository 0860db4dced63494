// Stylus input: a drag shows the map shifted by a live offset; lifting the stylus turns the drag
// into a pan; a double tap zooms in one level around the tapped point.
//
// Offsets are the point where the stylus went down minus the point where it is now: dragging right
// or down gives negative offsets, and painting draws the map shifted by the negated offset, so the
// map follows the stylus. Before the first map is set there is nothing to pan: stylus input is
// ignored until the view has a projection and a world size.
#pragma once

#include "mapview/MapViewRecord.h"

// Taps closer together in time than this, and closer in place than kDoubleTapDistance on each
// axis, make a double tap.
constexpr int64_t kDoubleTapMs = 500;
constexpr int32_t kDoubleTapDistance = 15;
// A stylus lifted at most this far from where it went down, on each axis, is a tap, not a drag.
constexpr int32_t kTapDistance = 4;

void OnStylusDown(OMMapView* view, int32_t x, int32_t y);
void OnStylusMove(OMMapView* view, int32_t x, int32_t y);
// A stylus lifted (`lifted`; false: the capture was lost) within kTapDistance of where it went
// down, not after a double tap, on a marker with a tap handler set reports the marker instead of
// panning.
void OnStylusUp(OMMapView* view, int32_t x, int32_t y, bool lifted = true);
// Adds (dx, dy) to the pending pan, clamps it to the world's edges and lets ScrollBy scroll the
// layers when the panned viewport leaves them. 1.
int32_t PanBy(OMMapView* view, int32_t dx, int32_t dy);

// The process-wide tick count of the latest stylus-down (0: none that can start a double tap).
extern int64_t lastTapTime;
// The clock the double tap and the flick read; GetTickCount unless a test sets its own.
extern DWORD (*tapClock)();
