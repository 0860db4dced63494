// The control's public functions. Each checks its handle first; all run on the GUI thread.
#include <cmath>
#include <new>

#include "mapview/MapViewEvents.h"
#include "mapview/MapViewRecord.h"
#include "mapview/MapViewWindow.h"
#include "mapview/TileSourceSetting.h"
#include "mapview/ViewPosition.h"
#include "tilesources/SourceSpec.h"

namespace {

// Positions and zooms that are not numbers (NaN, infinity) are refused: there is no centre or
// level to make of them, and kept they would poison every later zoom and pan.
bool IsPosition(double latitude, double longitude) { return std::isfinite(latitude) && std::isfinite(longitude); }

bool HasLineBreak(const char* text) {
  for (; *text != '\0'; ++text)
    if (static_cast<unsigned char>(*text) < 0x20 || *text == 0x7F) return true;
  return false;
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
  return ApplyPosition(view, latitude, longitude, zoom);
}

// The four functions below need a projection. Called before a map was set they return 0 and do
// nothing, instead of converting through a projection that does not exist.
int32_t OMMapViewSetCenter(OMMapView* view, double latitude, double longitude) {
  if (view == nullptr || view->projection == nullptr || !IsPosition(latitude, longitude)) return 0;
  ClearPendingPan(view);
  return ApplyPosition(view, latitude, longitude, view->zoom);
}

int32_t OMMapViewSetZoom(OMMapView* view, double zoom) {
  if (view == nullptr || view->projection == nullptr || !std::isfinite(zoom)) return 0;
  return ZoomTo(view, zoom);
}

int32_t OMMapViewZoomIn(OMMapView* view) {
  if (view == nullptr || view->projection == nullptr) return 0;
  if (view->zoom >= view->maxZoom) return 0;
  return ZoomTo(view, view->zoom + 1.0);
}

int32_t OMMapViewZoomOut(OMMapView* view) {
  if (view == nullptr || view->projection == nullptr) return 0;
  if (view->zoom <= view->minZoom) return 0;
  return ZoomTo(view, view->zoom - 1.0);
}

int32_t OMMapViewSetEventHandler(OMMapView* view, EventHandler handler, uint32_t userData) {
  if (view == nullptr) return 0;
  SetEventPair(view, handler, userData);
  return 1;
}

int32_t OMMapViewSetTileSource(OMMapView* view, const char* spec) {
  if (view == nullptr) return 0;
  if (spec == nullptr) {
    view->lastError = "no tile source given";
    return 0;
  }
  return SetTileSource(view, spec);
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

const char* OMMapViewGetLastError(OMMapView* view) {
  if (view == nullptr) return "no map view";
  return view->lastError.c_str();
}

}  // extern "C"
