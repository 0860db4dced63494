// Tiles from a source of the tile-source library: an MBTiles file shows its own pixels without a
// request to any server, with its attribution in the corner and deeper levels drawn from its
// deepest one; bad sources are refused with a reason and the source in force is kept.
#include <cstdio>

#include "tests/support/TempFolder.h"
#include "tests/mapview/MapViewHarness.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tools/tileserver/PngEncoder.h"

namespace {

constexpr int32_t kClientW = 240, kClientH = 268;

// A tile whose four quadrants have colours of their own, told by column, row and quadrant.
uint32_t QuadrantColour(int32_t x, int32_t y, int quadrant) {
  return (0x102030u + uint32_t(x) * 0x070000u + uint32_t(y) * 0x003000u + uint32_t(quadrant) * 0x000030u) & 0xFFFFFFu;
}

std::string QuadrantTile(int32_t x, int32_t y) {
  std::vector<uint8_t> rgb(256 * 256 * 3);
  for (int py = 0; py < 256; ++py)
    for (int px = 0; px < 256; ++px) {
      const uint32_t c = QuadrantColour(x, y, (py >= 128 ? 2 : 0) + (px >= 128 ? 1 : 0));
      uint8_t* p = &rgb[(size_t(py) * 256 + px) * 3];
      p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
    }
  return tileserver::PngEncoder::EncodeRgb(rgb, 256, 256);
}

class TileSources : public MapViewTest {
 protected:
  // Levels 1 and 2 of the whole world, attributed, in colours shifted by `colourShift`.
  std::string MakeMap(const std::string& name = "map.mbtiles") {
    const std::string path = folder.File(name);
    MBTilesTestFile file(path);
    file.Metadata("name", "test map");
    file.Metadata("format", "png");
    file.Metadata("minzoom", "1");
    file.Metadata("maxzoom", "2");
    file.Metadata("attribution", "Test Data Makers");
    for (int z = 1; z <= 2; ++z)
      for (int x = 0; x < (1 << z); ++x)
        for (int y = 0; y < (1 << z); ++y) file.Tile(z, x, (1 << z) - 1 - y, QuadrantTile(x + 10 * z + colourShift, y));
    file.Close();
    return path;
  }
  // The screen shows, at client point (cx, cy), world pixel viewport + (cx, cy) of a level whose
  // tiles come from level 2 scaled up by 2^deeper.
  uint32_t Expected(OMMapView* view, int32_t cx, int32_t cy, int deeper) {
    const int32_t wx = (view->viewport.left + cx) >> deeper, wy = (view->viewport.top + cy) >> deeper;
    const int quadrant = ((wy % 256) >= 128 ? 2 : 0) + ((wx % 256) >= 128 ? 1 : 0);
    return QuadrantColour(wx / 256 + 20 + colourShift, wy / 256, quadrant);
  }
  int Mismatches(OMMapView* view, int deeper) {
    int wrong = 0;
    // Away from the quadrant edges (scaling blends a pixel or two there) and from the attribution.
    for (int32_t cy = 5; cy < kClientH - 20; cy += 9)
      for (int32_t cx = 5; cx < kClientW - 5; cx += 9) {
        const int32_t wx = ((view->viewport.left + cx) >> deeper) % 128, wy = ((view->viewport.top + cy) >> deeper) % 128;
        if (wx < 3 || wx > 124 || wy < 3 || wy > 124) continue;
        if (ClientPixel(view, cx, cy) != Expected(view, cx, cy, deeper)) ++wrong;
      }
    return wrong;
  }
  TempFolder folder;
  int colourShift = 0;
};

TEST_F(TileSources, AnMBTilesFileShowsItsPixelsWithoutTheNetworkAndDeeperLevelsScaledUp) {
  OMMapView* view = MakeView(10, 10, kClientW + 2, kClientH + 2);
  ShowAt(view, 600, 600, 2.0);
  ASSERT_TRUE(WaitForTiles(view));
  const size_t asked = Requested().size();
  ASSERT_EQ(OMMapViewSetTileSource(view, ("mbtiles:" + MakeMap()).c_str()), 1) << OMMapViewGetLastError(view);
  EXPECT_STREQ(OMMapViewGetLastError(view), "");
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 0), 0);
  // A tile from the file is a delivered tile: its two events came.
  EXPECT_GE(EventRecord::Count(view, OMEventTypeMapLoaded), 4u + 4u);

  // The attribution sits in the bottom-right corner: dark text on a light box, on the tiles' place.
  int text = 0, box = 0;
  for (int32_t y = kClientH - 12; y < kClientH; ++y)
    for (int32_t x = kClientW - 90; x < kClientW; ++x) {
      const uint32_t c = ClientPixel(view, x, y);
      text += ((c >> 16) & 0xFF) < 120 && ((c >> 8) & 0xFF) < 120 && (c & 0xFF) < 120;
      box += c == 0xF5F5F5u;
    }
  EXPECT_GT(text, 20);
  EXPECT_GT(box, 100);
  // A drag moves the map, not the attribution.
  Drag(view, 100, 100, 130, 100);
  EXPECT_EQ(ClientPixel(view, kClientW - 1, kClientH - 1), 0xF5F5F5u);

  // Levels 3 and 5: the file ends at 2, so its tiles are drawn scaled up by 2 and 8.
  ASSERT_EQ(OMMapViewSetZoom(view, 3.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 1), 0);
  ASSERT_EQ(OMMapViewSetZoom(view, 5.0), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 3), 0);
  EXPECT_EQ(Requested().size(), asked) << "no request left the process";

  // Back to the tile servers: tiles are asked for again.
  ASSERT_EQ(OMMapViewSetTileSource(view, "default"), 1);
  ASSERT_TRUE(WaitForTiles(view));
  EXPECT_GT(Requested().size(), asked);
}

// Setting the file in force again reads it afresh: the same tiles while it is unchanged, the new
// file's once another has been moved over it.
TEST_F(TileSources, TheSameFileSetAgainShowsWhatItHoldsNow) {
  OMMapView* view = MakeView(10, 10, kClientW + 2, kClientH + 2);
  ShowAt(view, 600, 600, 2.0);
  const std::string source = "mbtiles:" + MakeMap();
  ASSERT_EQ(OMMapViewSetTileSource(view, source.c_str()), 1) << OMMapViewGetLastError(view);
  ASSERT_TRUE(WaitForTiles(view));
  ASSERT_EQ(OMMapViewSetTileSource(view, source.c_str()), 1) << OMMapViewGetLastError(view);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 0), 0);

  colourShift = 3;
  MakeMap("new.mbtiles");
  ASSERT_EQ(std::rename(folder.File("new.mbtiles").c_str(), folder.File("map.mbtiles").c_str()), 0);
  ASSERT_EQ(OMMapViewSetTileSource(view, source.c_str()), 1) << OMMapViewGetLastError(view);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 0), 0) << "the replaced file's tiles are shown";
}

TEST_F(TileSources, BadSourcesAreRefusedWithAReasonAndTheSourceInForceStays) {
  OMMapView* view = MakeView(10, 10, kClientW + 2, kClientH + 2);
  ShowAt(view, 600, 600, 2.0);
  ASSERT_EQ(OMMapViewSetTileSource(view, ("mbtiles:" + MakeMap()).c_str()), 1);
  ASSERT_TRUE(WaitForTiles(view));
  WriteWholeFile(folder.File("text.mbtiles"), "this is not a database\n");
  WriteWholeFile(folder.File("empty.mbtiles"), "");
  struct Case {
    std::string source, reasonHas;
  };
  const std::vector<Case> cases = {
      {"mbtiles:" + folder.File("missing.mbtiles"), "missing.mbtiles"},
      {"mbtiles:" + folder.File("text.mbtiles"), "text.mbtiles"},
      {"mbtiles:" + folder.File("empty.mbtiles"), "empty.mbtiles"},
      {"mbtiles:", "mbtiles"},
      {"upstream:http://127.0.0.1:9/tiles/{z}/{x}.png", "{y}"},
      {"upstream:http://127.0.0.1:9/{z}/{x}/{y}.png", "contact"},  // no contact given yet
      {"tiles-from-somewhere", "tile source"},
      {"satellite", "tile source"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OMMapViewSetTileSource(view, c.source.c_str()), 0) << c.source;
    const std::string reason = OMMapViewGetLastError(view);
    EXPECT_NE(reason.find(c.reasonHas), std::string::npos) << c.source << ": " << reason;
    EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
  }
  EXPECT_EQ(OMMapViewSetTileSource(view, nullptr), 0);
  EXPECT_EQ(OMMapViewSetTileContact(view, "two\nlines"), 0);
  EXPECT_EQ(OMMapViewSetTileSource(nullptr, "default"), 0);
  // The file in force still serves: a new position is drawn from it.
  ASSERT_EQ(OMMapViewSetCenter(view, PositionOf(300, 700, 2.0).latitude, PositionOf(300, 700, 2.0).longitude), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view, 0), 0);
  EXPECT_EQ(Requested().size(), 4u) << "only the first screen's tiles went to the server";
  EXPECT_EQ(ReadWholeFile(folder.File("text.mbtiles")), "this is not a database\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"empty.mbtiles", "map.mbtiles", "text.mbtiles"}))
      << "nothing was made beside the files";
}

}  // namespace
