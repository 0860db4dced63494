// Hands a GPX file's tracks and routes to the map control as lines drawn over the map.
#pragma once

#include <string>
#include <vector>

#include "gpx/GpxData.h"
#include "mapview/OMMapView.h"

namespace ambrel {

// Tracks in one colour, routes in another, each kLineWidthPixels wide; lines of fewer than two
// points draw nothing and are left out. Returns why the control refused a line (the first such
// reason), or "" when it took every line.
std::string ShowGpxTracks(OMMapView* view, const std::vector<gpx::Line>& lines);

}  // namespace ambrel
