#include "app/MapEvents.h"

#include "app/NoTilesNotice.h"
#include "platform/kernel/DebugOutput.h"

namespace ambrel {

void OnMapEvent(OMMapView*, int32_t eventType, int32_t, int32_t, uint32_t) {
  switch (eventType) {
    case OMEventTypeMapWillLoad: OutputDebugStringW(u"OMEventTypeMapWillLoad\n"); break;
    case OMEventTypeMapLoaded:
      OutputDebugStringW(u"OMEventTypeMapLoaded\n");
      NoteTileDrawn();
      break;
    case OMEventTypeMapWillDraw: OutputDebugStringW(u"OMEventTypeMapWillDraw\n"); break;
    case OMEventTypeMapDrawn: OutputDebugStringW(u"OMEventTypeMapDrawn\n"); break;
    default: break;
  }
}

}  // namespace ambrel
