// worldmap-render: paints the world map from resources/worldmap/land.txt into an MBTiles file of
// 256 x 256 PNG tiles, every tile of levels 0 to the maximum. The output is the same bytes on
// every run; it is written beside its final name and moved there only when complete.
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/kernel/DecimalText.h"
#include "tools/worldmap/MBTilesWriter.h"
#include "tools/worldmap/TilePainter.h"
#include "tools/worldmap/TilePng.h"
#include "tools/worldmap/WorldData.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitData = 3;
constexpr int kExitWrite = 4;
constexpr int kDefaultMaxZoom = 5;
constexpr int kLargestMaxZoom = 8;  // 87,381 tiles: beyond that the coarse data has nothing to add

const char* const kUsage =
    "usage: worldmap-render [--max-zoom N] LAND.txt OUTPUT.mbtiles\n"
    "Paints the world map in LAND.txt (resources/worldmap/README.md) into OUTPUT.mbtiles: every PNG\n"
    "tile of levels 0 to N (default 5, at most 8), spherical Mercator, rows counted from the south.\n";

struct Options {
  int maxZoom = kDefaultMaxZoom;
  std::string data;
  std::string output;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--max-zoom" && i + 1 < argc) {
      if (!ParseDecimal(std::string_view(argv[++i]), &options.maxZoom) || options.maxZoom > kLargestMaxZoom) return false;
    } else if (positional == 0 && !arg.starts_with("-")) {
      options.data = arg;
      ++positional;
    } else if (positional == 1 && !arg.starts_with("-")) {
      options.output = arg;
      ++positional;
    } else {
      return false;
    }
  }
  return positional == 2;
}

bool WriteMap(const worldmap::WorldData& world, int maxZoom, const std::string& path, worldmap::MBTilesWriter& writer) {
  using worldmap::TilePainter;
  const std::string description =
      "Land, seas and country borders of the whole world, from Natural Earth's 1:110m countries (public domain).";
  if (!writer.Create(path) || !writer.Metadata("name", "World") || !writer.Metadata("format", "png") ||
      !writer.Metadata("type", "baselayer") || !writer.Metadata("version", "1") ||
      !writer.Metadata("minzoom", "0") || !writer.Metadata("maxzoom", std::to_string(maxZoom)) ||
      !writer.Metadata("bounds", "-180,-85.0511,180,85.0511") || !writer.Metadata("center", "0,20,1") ||
      !writer.Metadata("attribution", "Natural Earth") || !writer.Metadata("description", description)) {
    return false;
  }
  TilePainter painter(world);
  for (int zoom = 0; zoom <= maxZoom; ++zoom) {
    painter.SetZoom(zoom);
    const int side = 1 << zoom;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        const std::string png = worldmap::EncodeTilePng(painter.Paint(x, y), TilePainter::kTileSide);
        if (png.empty()) {
          std::fprintf(stderr, "worldmap-render: encoding tile %d/%d/%d failed\n", zoom, x, y);
          return false;
        }
        if (!writer.Tile(zoom, x, y, png)) return false;
      }
    }
  }
  return writer.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const worldmap::WorldDataLoad load = worldmap::LoadWorldData(options.data);
  if (!load.ok) {
    std::fprintf(stderr, "worldmap-render: %s: %s\n", options.data.c_str(), load.error.c_str());
    return kExitData;
  }
  const std::string partial = options.output + ".part";
  worldmap::MBTilesWriter writer;
  bool written = false;
  try {
    written = WriteMap(load.data, options.maxZoom, partial, writer);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "worldmap-render: %s\n", e.what());
  }
  if (written && std::rename(partial.c_str(), options.output.c_str()) != 0) {
    std::fprintf(stderr, "worldmap-render: cannot move %s to %s\n", partial.c_str(), options.output.c_str());
    written = false;
  } else if (!written && !writer.Error().empty()) {
    std::fprintf(stderr, "worldmap-render: %s: %s\n", partial.c_str(), writer.Error().c_str());
  }
  if (!written) {
    std::remove(partial.c_str());
    return kExitWrite;
  }
  std::printf("worldmap-render: %s: %zu tiles of levels 0 to %d, %zu distinct images\n", options.output.c_str(),
              writer.TileCount(), options.maxZoom, writer.ImageCount());
  return 0;
}
