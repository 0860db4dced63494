#include "mapview/DesktopInput.h"

#include "mapview/FlickGlide.h"
#include "mapview/MapViewEvents.h"
#include "mapview/StylusInput.h"
#include "mapview/ViewPosition.h"

namespace {

bool HasWorld(const OMMapView* view) { return view->projection != nullptr && view->worldWidth > 0; }

void PanByKey(OMMapView* view, int32_t dx, int32_t dy) {
  StopGlide(view);
  const int64_t shownX = int64_t(view->centerX) + view->pendingX;
  const int64_t shownY = int64_t(view->centerY) + view->pendingY;
  PanBy(view, dx, dy);
  InvalidateRect(view->window, nullptr, FALSE);
  if (int64_t(view->centerX) + view->pendingX != shownX || int64_t(view->centerY) + view->pendingY != shownY)
    NotifyViewChanged(view);
}

}  // namespace

void OnWheel(OMMapView* view, int32_t x, int32_t y, int32_t delta) {
  if (view->dragging != 0 || !ZoomHasLevel(view)) return;
  // A turn the other way drops what the last one left short of a notch.
  if ((delta > 0) != (view->wheelRest > 0)) view->wheelRest = 0;
  view->wheelRest += delta;
  bool changed = false;
  while (view->wheelRest >= WHEEL_DELTA || view->wheelRest <= -WHEEL_DELTA) {
    const bool in = view->wheelRest > 0;
    view->wheelRest += in ? -WHEEL_DELTA : WHEEL_DELTA;
    if ((in ? ZoomInAround(view, x, y) : ZoomOutAround(view, x, y)) == 0) {
      view->wheelRest = 0;  // at the limit: the rest of the turn goes nowhere
      break;
    }
    changed = true;
  }
  if (changed) NotifyViewChanged(view);
}

bool OnKey(OMMapView* view, WORD virtualKey) {
  if (view->projection == nullptr) return false;
  RECT client{};
  GetClientRect(view->window, &client);
  const int32_t quarterX = (client.right - client.left) / 4;
  const int32_t quarterY = (client.bottom - client.top) / 4;
  switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      if (!HasWorld(view)) return true;
      PanByKey(view, virtualKey == VK_LEFT ? -quarterX : virtualKey == VK_RIGHT ? quarterX : 0,
               virtualKey == VK_UP ? -quarterY : virtualKey == VK_DOWN ? quarterY : 0);
      return true;
    case VK_ADD:
    case VK_OEM_PLUS:
      if (view->zoom < view->maxZoom && ZoomTo(view, view->zoom + 1.0) != 0) NotifyViewChanged(view);
      return true;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
      if (view->zoom > view->minZoom && ZoomTo(view, view->zoom - 1.0) != 0) NotifyViewChanged(view);
      return true;
    case VK_HOME:
      if (view->homeSet == 0) return true;
      ClearPendingPan(view);
      if (ApplyPosition(view, view->homeLatitude, view->homeLongitude, view->homeZoom) != 0) NotifyViewChanged(view);
      return true;
    default: return false;
  }
}
