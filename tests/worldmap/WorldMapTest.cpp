// The default world map as the build makes it (world.mbtiles): complete levels of PNG tiles
// with land and sea where they are on Earth, rows counted from the south; served by the tile
// server as it is; and painted again to the same tiles, with bad data refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <string>

#include "projection/MercatorProjection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tests/tools/PngTestImage.h"
#include "tools/tileserver/TileAddress.h"
#include "tools/worldmap/MapStyle.h"

namespace {

constexpr int kTimeoutMs = 10000;
constexpr int kTileSide = 256;

struct Place {
  const char* name;
  double latitude, longitude;
};

// Far from any coast or border, so that the pixel is plain land or plain sea at every level.
constexpr Place kLand[] = {{"the Sahara (Algeria)", 27.0, 3.0},
                           {"central Australia", -25.0, 134.0},
                           {"Siberia", 62.0, 100.0}};
constexpr Place kSea[] = {{"the middle of the Pacific", 10.0, -150.0},
                          {"the South Atlantic", -30.0, -15.0},
                          {"the Indian Ocean", -20.0, 80.0}};

std::map<std::string, std::string> Metadata(const std::string& path) {
  std::map<std::string, std::string> metadata;
  for (const auto& row : QueryRows(path, "SELECT name, value FROM metadata")) metadata[row.at(0)] = row.at(1);
  return metadata;
}

// The tile's bytes at (zoom, x, y), y from the north as in tile URLs; empty when absent.
std::string TileBytes(const std::string& path, int zoom, int x, int y) {
  const int tmsRow = (1 << zoom) - 1 - y;
  const auto rows = QueryRows(path, "SELECT tile_data FROM tiles WHERE zoom_level = " + std::to_string(zoom) +
                                        " AND tile_column = " + std::to_string(x) +
                                        " AND tile_row = " + std::to_string(tmsRow));
  return rows.empty() ? "" : rows[0].at(0);
}

tileserver::style::Rgb ColourAt(const std::string& path, const Place& place, int zoom) {
  MercatorProjection projection;
  const PixelPoint pixel = projection.LatLonToPixel(place.latitude, place.longitude, zoom);
  const DecodedPng tile = DecodePng(TileBytes(path, zoom, pixel.x / kTileSide, pixel.y / kTileSide));
  EXPECT_TRUE(tile.ok) << place.name << " at level " << zoom;
  if (!tile.ok) return {0, 0, 0};
  return tile.At(pixel.x % kTileSide, pixel.y % kTileSide);
}

bool Same(tileserver::style::Rgb a, worldmap::style::Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

std::string Hex(tileserver::style::Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return text;
}

// Runs worldmap-render with `args` (given to the shell as written); its exit code, -1 on a signal.
int RunRender(const std::string& args) {
  const int status = std::system((std::string(ORVAN_WORLDMAP_RENDER) + " " + args + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WorldMap, HoldsEveryTileOfEveryLevelWithLandAndSeaWhereTheyAre) {
  const std::string path = ORVAN_WORLD_MAP;
  auto metadata = Metadata(path);
  EXPECT_EQ(metadata["format"], "png");
  EXPECT_EQ(metadata["minzoom"], "0");
  EXPECT_NE(metadata["attribution"].find("Natural Earth"), std::string::npos) << metadata["attribution"];
  const int maxZoom = std::atoi(metadata["maxzoom"].c_str());
  ASSERT_GE(maxZoom, 5);

  // Every tile of every level, each once, each a 256 x 256 PNG.
  for (int zoom = 0; zoom <= maxZoom; ++zoom) {
    const int side = 1 << zoom;
    const auto rows = QueryRows(path, "SELECT tile_column, tile_row, tile_data FROM tiles WHERE zoom_level = " +
                                          std::to_string(zoom));
    ASSERT_EQ(rows.size(), static_cast<size_t>(side) * side) << "level " << zoom;
    std::vector<bool> seen(rows.size(), false);
    for (const auto& row : rows) {
      const int x = std::atoi(row.at(0).c_str()), tmsRow = std::atoi(row.at(1).c_str());
      ASSERT_TRUE(x >= 0 && x < side && tmsRow >= 0 && tmsRow < side) << zoom << "/" << x << "/" << tmsRow;
      ASSERT_FALSE(seen[tmsRow * side + x]) << "twice: " << zoom << "/" << x << "/" << tmsRow;
      seen[tmsRow * side + x] = true;
      const DecodedPng tile = DecodePng(row.at(2));
      ASSERT_TRUE(tile.ok && tile.width == kTileSide && tile.height == kTileSide) << zoom << "/" << x << "/" << tmsRow;
    }
  }
  EXPECT_TRUE(TileBytes(path, maxZoom + 1, 0, 0).empty());

  for (int zoom : {2, maxZoom}) {
    for (const Place& place : kLand) {
      const auto colour = ColourAt(path, place, zoom);
      EXPECT_TRUE(Same(colour, worldmap::style::kLand)) << place.name << " at level " << zoom << ": " << Hex(colour);
    }
    for (const Place& place : kSea) {
      const auto colour = ColourAt(path, place, zoom);
      EXPECT_TRUE(Same(colour, worldmap::style::kSea)) << place.name << " at level " << zoom << ": " << Hex(colour);
    }
  }
}

TEST(WorldMap, TheTileServerServesItsTiles) {
  const std::string path = ORVAN_WORLD_MAP;
  const std::string stored = TileBytes(path, 2, 2, 1);  // Africa and Europe
  ASSERT_FALSE(stored.empty());
  TileServer server({"--source", "mbtiles:" + path});
  RawHttpConnection connection(server.Port());
  connection.Send(TileRequestText("mt0." + tileserver::WorldDomain(), 2, 1, 2, true));
  RawHttpReply reply;
  ASSERT_EQ(connection.ReadOneResponse(kTimeoutMs, reply), RawReadEnd::Complete);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.Header("Content-Type"), "image/png");
  EXPECT_TRUE(reply.body == stored) << "the served tile is not the stored one";
}

TEST(WorldMap, PaintingAgainGivesTheSameTilesAndBadDataIsRefused) {
  // Levels 0 to 3 (the busiest tiles: the whole world's shapes in few tiles) painted again must be
  // the very bytes the build stored.
  TempFolder folder;
  const std::string again = folder.File("world.mbtiles");
  ASSERT_EQ(RunRender("--max-zoom 3 '" + std::string(ORVAN_WORLDMAP_DATA) + "' '" + again + "'"), 0);
  const std::string query = "SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles WHERE zoom_level <= 3"
                            " ORDER BY zoom_level, tile_column, tile_row";
  const auto built = QueryRows(ORVAN_WORLD_MAP, query), painted = QueryRows(again, query);
  ASSERT_EQ(painted.size(), 85u);
  EXPECT_TRUE(painted == built) << "painting again gave other tiles";
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"world.mbtiles"});  // nothing left beside it

  // A ring of two points: refused, and no map made (an old one at that path stays as it was).
  const std::string bad = folder.File("bad.txt"), badMap = folder.File("bad.mbtiles");
  WriteWholeFile(bad, "c Nowhere\no 100 100 200 200\n");
  WriteWholeFile(badMap, "old");
  EXPECT_NE(RunRender("'" + bad + "' '" + badMap + "'"), 0);
  EXPECT_EQ(ReadWholeFile(badMap), "old");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"bad.mbtiles", "bad.txt", "world.mbtiles"}));
}

}  // namespace
