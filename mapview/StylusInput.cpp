#include "mapview/StylusInput.h"

#include "mapview/FlickGlide.h"
#include "mapview/LayerScroller.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapViewEvents.h"
#include "mapview/ViewPosition.h"
#include "platform/kernel/Time.h"

int64_t lastTapTime = 0;
DWORD (*tapClock)() = GetTickCount;

namespace {

// When a stylus message was made: its time stamp, so that a busy moment of the GUI thread does not
// bunch a drag's points together; a test's own clock when it sets one.
DWORD StylusTime() { return tapClock == GetTickCount ? DWORD(GetMessageTime()) : tapClock(); }

// The window whose stylus-down set lastTapTime: a tap in one control and a tap in another are no
// double tap. Window handles are never reused, so comparing a stale one is safe.
HWND lastTapWindow = nullptr;

// A world to pan: a projection and a zoom with a tile level (the world size is zero otherwise).
bool HasMap(const OMMapView* view) { return view->projection != nullptr && view->worldWidth > 0; }

// Clamps an offset so that the viewport moved by it stays within the world, testing the far edge
// first: a world narrower than the viewport is pinned to its far edge. The offset comes in 64 bits
// and is narrowed only once clamped, so no sum of drags and pans can wrap.
int32_t ClampToWorld(int64_t offset, int32_t nearEdge, int32_t farEdge, int32_t worldExtent) {
  if (int64_t(farEdge) + offset >= worldExtent) return int32_t(int64_t(worldExtent) - farEdge);
  if (int64_t(nearEdge) + offset <= 0) return int32_t(-int64_t(nearEdge));
  return int32_t(offset);
}

// Whether this stylus-down completes a double tap, and the bookkeeping for the next one.
bool IsDoubleTap(OMMapView* view, int32_t x, int32_t y) {
  const DWORD now = tapClock();
  const int64_t elapsed = int64_t(now) - lastTapTime;
  const bool doubleTap = lastTapTime != 0 && lastTapWindow == view->window && elapsed >= 0 && elapsed < kDoubleTapMs &&
                         x - view->downX < kDoubleTapDistance && view->downX - x < kDoubleTapDistance &&
                         y - view->downY < kDoubleTapDistance && view->downY - y < kDoubleTapDistance;
  // After a double tap the next tap starts afresh, so a triple tap zooms once, not twice.
  lastTapTime = doubleTap ? 0 : int64_t(now);
  lastTapWindow = view->window;
  return doubleTap;
}

}  // namespace

void OnStylusDown(OMMapView* view, int32_t x, int32_t y) {
  // A touch stops a gliding map at once, where it is.
  StopGlide(view);
  if (!HasMap(view)) return;
  // A double tap zooms in one level around the tapped point, as map users expect; at the upper
  // limit it does nothing more than a tap. The tap also starts a drag, as every stylus-down does:
  // lifting the stylus where it went down pans by nothing.
  const bool doubleTap = IsDoubleTap(view, x, y);
  const bool zoomed = doubleTap && ZoomInAround(view, x, y) != 0;
  view->secondTap = doubleTap ? 1 : 0;
  view->dragX = 0;
  view->dragY = 0;
  view->downX = x;
  view->downY = y;
  view->lastX = x;
  view->lastY = y;
  view->dragging = 1;
  view->sampleCount = 0;
  if (view->flickEnabled != 0) NoteStylusSample(view, x, y, StylusTime());
  if (zoomed) NotifyViewChanged(view);
}

void OnStylusMove(OMMapView* view, int32_t x, int32_t y) {
  if (view->dragging == 0 || !HasMap(view)) return;
  view->lastX = x;
  view->lastY = y;
  if (view->flickEnabled != 0) NoteStylusSample(view, x, y, StylusTime());
  // The live clamp looks at the viewport only: while a pending pan is set, the live picture may
  // pass the world's edge by up to that pan, and the release clamps the sum.
  view->dragX =
      ClampToWorld(int64_t(view->downX) - x, view->viewport.left, view->viewport.right, view->worldWidth);
  view->dragY =
      ClampToWorld(int64_t(view->downY) - y, view->viewport.top, view->viewport.bottom, view->worldHeight);
  InvalidateRect(view->window, nullptr, TRUE);
}

void OnStylusUp(OMMapView* view, int32_t x, int32_t y, bool lifted) {
  if (view->dragging == 0) return;
  const int32_t dx = view->downX - x;
  const int32_t dy = view->downY - y;
  view->dragX = 0;
  view->dragY = 0;
  // A tap on a marker goes to its handler instead of the map. The marker is looked up with the
  // drag's offset gone, where it was shown when the stylus went down.
  const bool tap = lifted && view->secondTap == 0 && dx <= kTapDistance && -dx <= kTapDistance &&
                   dy <= kTapDistance && -dy <= kTapDistance;
  if (tap && view->markerTapHandler != nullptr && HasMap(view)) {
    const int32_t id = MarkerAt(view, view->downX, view->downY);
    if (id != 0) {
      view->dragging = 0;
      InvalidateRect(view->window, nullptr, TRUE);
      view->markerTapHandler(view, id, view->markerTapUserData);
      return;
    }
  }
  // A zoom without a tile level came in mid-drag: there is no world to pan, the drag just ends.
  // The world pixel shown at the window's centre tells whether the drag moved the map at all (a
  // tap, or a drag held at the world's edge, does not).
  const int64_t shownXBefore = int64_t(view->centerX) + view->pendingX;
  const int64_t shownYBefore = int64_t(view->centerY) + view->pendingY;
  if (HasMap(view)) PanBy(view, dx, dy);
  view->dragging = 0;
  InvalidateRect(view->window, nullptr, TRUE);
  if (int64_t(view->centerX) + view->pendingX != shownXBefore || int64_t(view->centerY) + view->pendingY != shownYBefore) {
    NotifyViewChanged(view);
    // Lifted while still moving: with flick panning on, the map glides on.
    if (lifted && view->secondTap == 0) StartGlide(view, x, y, StylusTime());
  }
  view->sampleCount = 0;
}

int32_t PanBy(OMMapView* view, int32_t dx, int32_t dy) {
  view->pendingX =
      ClampToWorld(int64_t(view->pendingX) + dx, view->viewport.left, view->viewport.right, view->worldWidth);
  view->pendingY =
      ClampToWorld(int64_t(view->pendingY) + dy, view->viewport.top, view->viewport.bottom, view->worldHeight);
  ScrollBy(view);
  return 1;
}
