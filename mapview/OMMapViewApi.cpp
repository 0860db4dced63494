// The control's public functions. Each checks its handle first; all run on the GUI thread.
#include <cmath>
#include <new>

#include "mapview/FlickGlide.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapTracks.h"
#include "mapview/MapViewEvents.h"
#include "mapview/MapViewRecord.h"
#include "mapview/MapViewWindow.h"
#include "mapview/TileSourceSetting.h"
#include "mapview/ViewPosition.h"
#include "mapview/ViewQueries.h"
#include "tilesources/SourceChoice.h"

namespace {

// Positions and zooms that are not numbers (NaN, infinity) are refused: there is no centre or
// level to make of them, and kept they would poison every later zoom and pan.
bool IsPosition(double latitude, double longitude) { return std::isfinite(latitude) && std::isfinite(longitude); }

bool HasLineBreak(const char* text) {
  for (; *text != '\0'; ++text)
    if (static_cast<unsigned char>(*text) < 0x20 || *text == 0x7F) return true;
  return false;
}

// Reports a successful move or zoom to the view-changed handler and passes the result on.
int32_t Changed(OMMapView* view, int32_t result) {
  if (result != 0) NotifyViewChanged(view);
  return result;
}

}  // namespace

extern "C" {

OMMapView* OMMapViewCreate(uint32_t style, int32_t left, int32_t top, int32_t right, int32_t bottom, HWND parent,
                           HINSTANCE instance) {
  auto* view = new (std::nothrow) OMMapView();
  if (view == nullptr) return nullptr;
  if (CreateControlWindow(view, style, left, top, right, bottom, parent, instance) == 0) {
    DestroyMapView(view);
    return nullptr;
  }
  return view;
}

int32_t OMMapViewDestroy(OMMapView* view) {
  if (view == nullptr) return 0;
  DestroyMapView(view);
  return 1;
}

int32_t OMMapViewSetMap(OMMapView* view, int32_t mapType, double latitude, double longitude, double zoom) {
  if (view == nullptr || !IsPosition(latitude, longitude) || !std::isfinite(zoom)) return 0;
  if (SetMapType(view, mapType) == 0) return 0;
  ClearPendingPan(view);
  view->homeSet = 1;
  view->homeLatitude = latitude;
  view->homeLongitude = longitude;
  view->homeZoom = zoom;
  return Changed(view, ApplyPosition(view, latitude, longitude, zoom));
}

HWND OMMapViewGetWindow(OMMapView* view) { return view != nullptr ? view->window : nullptr; }

int32_t OMMapViewSetFlickPanning(OMMapView* view, int32_t enabled) {
  if (view == nullptr) return 0;
  view->flickEnabled = enabled != 0 ? 1 : 0;
  if (enabled == 0) StopGlide(view);
  return 1;
}

// The four functions below need a projection. Called before a map was set they return 0 and do
// nothing, instead of converting through a projection that does not exist.
int32_t OMMapViewSetCenter(OMMapView* view, double latitude, double longitude) {
  if (view == nullptr || view->projection == nullptr || !IsPosition(latitude, longitude)) return 0;
  ClearPendingPan(view);
  return Changed(view, ApplyPosition(view, latitude, longitude, view->zoom));
}

int32_t OMMapViewSetZoom(OMMapView* view, double zoom) {
  if (view == nullptr || view->projection == nullptr || !std::isfinite(zoom)) return 0;
  return Changed(view, ZoomTo(view, zoom));
}

int32_t OMMapViewZoomIn(OMMapView* view) {
  if (view == nullptr || view->projection == nullptr) return 0;
  if (view->zoom >= view->maxZoom) return 0;
  return Changed(view, ZoomTo(view, view->zoom + 1.0));
}

int32_t OMMapViewZoomOut(OMMapView* view) {
  if (view == nullptr || view->projection == nullptr) return 0;
  if (view->zoom <= view->minZoom) return 0;
  return Changed(view, ZoomTo(view, view->zoom - 1.0));
}

int32_t OMMapViewSetEventHandler(OMMapView* view, EventHandler handler, uint32_t userData) {
  if (view == nullptr) return 0;
  SetEventPair(view, handler, userData);
  return 1;
}

int32_t OMMapViewGetCenter(OMMapView* view, double* latitude, double* longitude) {
  if (view == nullptr || view->projection == nullptr || latitude == nullptr || longitude == nullptr) return 0;
  const GeoPoint centre = ShownCenter(view);
  *latitude = centre.latitude;
  *longitude = centre.longitude;
  return 1;
}

int32_t OMMapViewGetZoom(OMMapView* view, double* zoom) {
  if (view == nullptr || view->projection == nullptr || zoom == nullptr) return 0;
  *zoom = view->zoom;
  return 1;
}

int32_t OMMapViewPointToLatLon(OMMapView* view, int32_t x, int32_t y, double* latitude, double* longitude) {
  if (view == nullptr || view->projection == nullptr || latitude == nullptr || longitude == nullptr) return 0;
  GeoPoint position{0.0, 0.0};
  if (ClientPointToPosition(view, x, y, &position) == 0) return 0;
  *latitude = position.latitude;
  *longitude = position.longitude;
  return 1;
}

int32_t OMMapViewLatLonToPoint(OMMapView* view, double latitude, double longitude, int32_t* x, int32_t* y) {
  if (view == nullptr || view->projection == nullptr || x == nullptr || y == nullptr) return 0;
  PixelPoint point{0, 0};
  if (PositionToClientPoint(view, latitude, longitude, &point) == 0) return 0;
  *x = point.x;
  *y = point.y;
  return 1;
}

int32_t OMMapViewFitBounds(OMMapView* view, double south, double west, double north, double east) {
  if (view == nullptr || view->projection == nullptr) return 0;
  // The comparisons are false for NaN, so a NaN edge is refused with them.
  if (!IsPosition(south, west) || !IsPosition(north, east) || !(south <= north) || !(west <= east)) return 0;
  return Changed(view, FitBox(view, south, west, north, east));
}

int32_t OMMapViewSetViewChangedHandler(OMMapView* view, OMViewChangedHandler handler, void* userData) {
  if (view == nullptr) return 0;
  view->viewChangedHandler = handler;
  view->viewChangedUserData = userData;
  return 1;
}

int32_t OMMapViewSetTileSource(OMMapView* view, const char* source) {
  if (view == nullptr) return 0;
  if (source == nullptr) {
    view->lastError = "no tile source given";
    return 0;
  }
  return SetTileSource(view, source);
}

int32_t OMMapViewSetTileContact(OMMapView* view, const char* contact) {
  if (view == nullptr) return 0;
  if (contact == nullptr || HasLineBreak(contact)) {
    view->lastError = "a contact is one line of text";
    return 0;
  }
  view->tileContact = contact;
  view->lastError.clear();
  return 1;
}

int32_t OMMapViewSetAttribution(OMMapView* view, const char* text) {
  if (view == nullptr) return 0;
  view->attributionOverride = text != nullptr ? tilesources::OneLine(text) : "";
  UpdateAttribution(view);
  return 1;
}

int32_t OMMapViewAddMarker(OMMapView* view, double latitude, double longitude, const uint8_t* image, uint32_t size,
                           int32_t anchorX, int32_t anchorY) {
  if (view == nullptr) return 0;
  return AddMarker(view, latitude, longitude, image, size, anchorX, anchorY);
}

int32_t OMMapViewMoveMarker(OMMapView* view, int32_t id, double latitude, double longitude) {
  if (view == nullptr) return 0;
  return MoveMarker(view, id, latitude, longitude);
}

int32_t OMMapViewRemoveMarker(OMMapView* view, int32_t id) {
  if (view == nullptr) return 0;
  return RemoveMarker(view, id);
}

int32_t OMMapViewClearMarkers(OMMapView* view) {
  if (view == nullptr) return 0;
  return ClearMarkers(view);
}

int32_t OMMapViewSetMarkerTapHandler(OMMapView* view, OMMarkerTapHandler handler, void* userData) {
  if (view == nullptr) return 0;
  view->markerTapHandler = handler;
  view->markerTapUserData = userData;
  return 1;
}

int32_t OMMapViewAddPolyline(OMMapView* view, const double* latLon, uint32_t count, uint32_t rgb,
                             int32_t widthPixels) {
  if (view == nullptr) return 0;
  return AddTrack(view, latLon, count, rgb, widthPixels);
}

int32_t OMMapViewRemovePolyline(OMMapView* view, int32_t id) {
  if (view == nullptr) return 0;
  return RemoveTrack(view, id);
}

const char* OMMapViewGetLastError(OMMapView* view) {
  if (view == nullptr) return "no map view";
  return view->lastError.c_str();
}

}  // extern "C"
