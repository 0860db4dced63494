#include "mapview/MapViewEvents.h"

void FireEvent(OMMapView* view, int32_t type) {
  EventHandler handler;
  uint32_t userData;
  {
    std::lock_guard<std::mutex> guard(view->handlerLock);
    handler = view->eventHandler;
    userData = view->userData;
  }
  // Called outside the pair's lock: the handler may set a new pair or run concurrently with itself.
  if (handler != nullptr) handler(view, type, 0, 0, userData);
}

void SetEventPair(OMMapView* view, EventHandler handler, uint32_t userData) {
  std::lock_guard<std::mutex> guard(view->handlerLock);
  view->eventHandler = handler;
  view->userData = userData;
}

void NotifyViewChanged(OMMapView* view) {
  if (view->viewChangedHandler != nullptr) view->viewChangedHandler(view, view->viewChangedUserData);
}
