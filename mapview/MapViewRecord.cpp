#include "mapview/MapViewRecord.h"

#include "mapview/MapLayers.h"
#include "mapview/MapMarkers.h"
#include "mapview/MapPicture.h"
#include "mapview/MapTracks.h"
#include "mapview/ViewRegistry.h"

OMMapView::OMMapView() { InitializeCriticalSection(&lock); }

OMMapView::~OMMapView() { DeleteCriticalSection(&lock); }

void DestroyMapView(OMMapView* view) {
  if (view == nullptr) return;
  // Cancels and awaits every download; a cancelled tile may still be reported through
  // OnTileReady on its worker, which is why the lock, the layers and the window outlive this.
  view->tileLayer.cache.Clear();
  // From here on a message for the window gets default processing: its destroy message, when it
  // comes later with the parent's, finds no entry and so never reaches the freed object.
  ForgetViewWindow(view->window, view);
  FreeLayers(view);
  delete view;
}
