// The control's record and its operations, for the library's own code and its tests. Applications
// include mapview/OMMapView.h only.
#pragma once

#include "mapview/LayerScroller.h"
#include "mapview/MapLayers.h"
#include "mapview/MapPainter.h"
#include "mapview/MapViewEvents.h"
#include "mapview/MapViewRecord.h"
#include "mapview/MapViewWindow.h"
#include "mapview/PlaceholderImage.h"
#include "mapview/StylusInput.h"
#include "mapview/SurfaceDrawing.h"
#include "mapview/TileDelivery.h"
#include "mapview/ViewGeometry.h"
#include "mapview/ViewPosition.h"
#include "mapview/ViewRegistry.h"
