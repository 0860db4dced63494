#include "tools/worldmap/WorldData.h"

#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/kernel/DecimalText.h"

namespace worldmap {
namespace {

constexpr double kUnitsPerDegree = 100.0;
constexpr int kMaxLongitudeUnits = 18000;
constexpr int kMaxLatitudeUnits = 9000;

// The pairs after the line's tag; false when a number is missing, malformed or off the globe.
bool ReadPoints(std::string_view text, std::vector<GeoPoint>& points) {
  const DecimalForm form{.leadingSpace = true, .sign = DecimalSign::kMinus};
  while (true) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty()) return true;
    int lon = 0, lat = 0;
    size_t used = 0;
    if (ReadDecimal(text, form, &lon, &used) != DecimalStatus::kOk) return false;
    text.remove_prefix(used);
    if (text.empty() || text.front() != ' ') return false;
    if (ReadDecimal(text, form, &lat, &used) != DecimalStatus::kOk) return false;
    text.remove_prefix(used);
    if (!text.empty() && text.front() != ' ') return false;
    if (lon < -kMaxLongitudeUnits || lon > kMaxLongitudeUnits || lat < -kMaxLatitudeUnits || lat > kMaxLatitudeUnits) {
      return false;
    }
    points.push_back({lon / kUnitsPerDegree, lat / kUnitsPerDegree});
  }
}

}  // namespace

WorldDataLoad ReadWorldData(const std::string& text) {
  WorldDataLoad load;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    load.error = "line " + std::to_string(number) + ": " + why;
    return load;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const char tag = line[0];
    if (line.size() < 2 || line[1] != ' ') return fail("expected a tag letter and a space");
    const std::string_view rest = std::string_view(line).substr(2);
    if (tag == 'c') continue;  // a country's name: its rings follow
    if (tag != 'o' && tag != 'i' && tag != 'b') return fail(std::string("unknown tag '") + tag + "'");
    std::vector<GeoPoint> points;
    if (!ReadPoints(rest, points)) return fail("expected longitude latitude pairs in hundredths of a degree");
    if (tag == 'b') {
      if (points.size() < 2) return fail("a border line needs two points");
      load.data.borders.push_back(std::move(points));
    } else {
      if (points.size() < 3) return fail("a ring needs three points");
      load.data.rings.push_back({std::move(points), tag == 'i'});
    }
  }
  if (load.data.rings.empty()) return fail("no land rings");
  load.ok = true;
  return load;
}

WorldDataLoad LoadWorldData(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    WorldDataLoad load;
    load.error = "cannot open " + path;
    return load;
  }
  std::ostringstream text;
  text << file.rdbuf();
  return ReadWorldData(text.str());
}

}  // namespace worldmap
