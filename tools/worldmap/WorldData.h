// The world map's source data (resources/worldmap/land.txt): land as rings of longitude and
// latitude, and the borders between countries as lines.
#pragma once

#include <string>
#include <vector>

namespace worldmap {

struct GeoPoint {
  double longitude = 0.0;
  double latitude = 0.0;
};

struct GeoRing {
  std::vector<GeoPoint> points;  // not closed: the last point joins the first
  bool hole = false;             // a hole in the land ring around it (a lake, an enclosed country)
};

struct WorldData {
  std::vector<GeoRing> rings;
  std::vector<std::vector<GeoPoint>> borders;
};

struct WorldDataLoad {
  bool ok = false;
  std::string error;  // with the line number, when !ok
  WorldData data;
};

// Reads the line format README.md in resources/worldmap describes: "#" comments, "c NAME" country
// names, "o" outer rings, "i" holes and "b" border lines of longitude latitude pairs in hundredths
// of a degree. Anything else, a coordinate off the globe, a ring of fewer than three points or a
// line of fewer than two is refused.
WorldDataLoad ReadWorldData(const std::string& text);
WorldDataLoad LoadWorldData(const std::string& path);

}  // namespace worldmap
