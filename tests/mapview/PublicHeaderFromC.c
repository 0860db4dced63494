/* The public header as a C program sees it: compiled as C and linked against the library. */
#include "mapview/OMMapView.h"

static void IgnoreEvent(OMMapView* view, int32_t type, int32_t r1, int32_t r2, uint32_t userData) {
  (void)view, (void)type, (void)r1, (void)r2, (void)userData;
}

static void IgnoreChange(OMMapView* view, void* userData) { (void)view, (void)userData; }

/* The sum of every function's result for a null handle (each is 0), and whether creating a
   control without a parent gives null. */
int CallEveryFunctionFromC(void) {
  OMMapView* none = 0;
  int sum = OMMapViewSetMap(none, 1, 37.433446, 127.173493, 17.0) + OMMapViewSetCenter(none, 1.0, 2.0) +
            OMMapViewSetZoom(none, 3.0) + OMMapViewZoomIn(none) + OMMapViewZoomOut(none) +
            OMMapViewSetEventHandler(none, IgnoreEvent, 10) + OMMapViewDestroy(none);
  double a = 0.0, b = 0.0;
  int32_t x = 0, y = 0;
  sum += OMMapViewGetCenter(none, &a, &b) + OMMapViewGetZoom(none, &a) + OMMapViewPointToLatLon(none, 1, 2, &a, &b) +
         OMMapViewLatLonToPoint(none, 1.0, 2.0, &x, &y) + OMMapViewFitBounds(none, 1.0, 2.0, 3.0, 4.0) +
         OMMapViewSetViewChangedHandler(none, IgnoreChange, 0) + OMMapViewSetFlickPanning(none, 1) +
         (OMMapViewGetWindow(none) != 0);
  return sum + (OMMapViewCreate(0x50800000u, 0, 0, 10, 10, (HWND)0, (HINSTANCE)0) != 0) + OMEventTypeMapWillLoad +
         OMEventTypeMapLoaded - 1 + OMEventTypeMapWillDraw - 2 + OMEventTypeMapDrawn - 3;
}
