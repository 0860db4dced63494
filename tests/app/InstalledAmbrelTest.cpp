// The installed ambrel, moved with its prefix, run as a user would run it (nothing configured, a
// private home and cache) against real tile sources: an MBTiles file shows its exact pixels with
// no connection to anything, and a tile service is asked politely (the contact in every
// User-Agent, at most two connections), its tiles kept in the user's disk cache, fresh ones not
// asked for again by the next run and stale ones revalidated.
//
// install-program.sh runs these with AMBREL_UNDER_TEST naming the installed program; without it
// they are skipped (the build tree's ambrel has its own suite).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "tests/app/AmbrelProcess.h"
#include "tests/app/AmbrelScene.h"
#include "tests/app/ScreenImage.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tools/tileserver/PngEncoder.h"

using namespace scene;

namespace {

constexpr int kZoom = 17;  // where Ambrel opens with any source but the world map installed with it
constexpr const char* kLoaded = "OMEventTypeMapLoaded";
constexpr const char* kContact = "installed-ambrel@example.test";
constexpr const char* kUserAgent = "OrvanMapLib/1.0 (+installed-ambrel@example.test)";
constexpr Rgb kUpstreamBackground{242, 238, 228};  // the tile server's tiles for a host of no tile domain

// The map view's client area on the screen (inside its one-pixel border).
constexpr int kClientLeft = 1, kClientTop = kMapTop + 1;

// A colour for each quadrant (0 to 3, left to right, top to bottom) of the tile at (dx, dy) from
// the top-left tile on screen.
Rgb QuadrantColour(int64_t dx, int64_t dy, int quadrant) {
  return {static_cast<uint8_t>(20 + 70 * dx), static_cast<uint8_t>(30 + 70 * dy), static_cast<uint8_t>(40 + 60 * quadrant)};
}

std::string QuadrantTile(int64_t dx, int64_t dy) {
  std::vector<uint8_t> rgb(256 * 256 * 3);
  for (int py = 0; py < 256; ++py)
    for (int px = 0; px < 256; ++px) {
      const Rgb c = QuadrantColour(dx, dy, (py >= 128 ? 2 : 0) + (px >= 128 ? 1 : 0));
      uint8_t* p = &rgb[(static_cast<size_t>(py) * 256 + px) * 3];
      p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
  return tileserver::PngEncoder::EncodeRgb(rgb, 256, 256);
}

class InstalledAmbrel : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* program = std::getenv("AMBREL_UNDER_TEST");
    if (program == nullptr || *program == 0) GTEST_SKIP() << "AMBREL_UNDER_TEST names no installed ambrel";
    program_ = program;
    // Every proxy setting points at a server that records what reaches it: nothing may.
    recorder_.emplace();
    proxy_.emplace(*recorder_);
  }

  // Runs the installed ambrel with `arguments`, as its user: nothing of this machine's user is
  // found (home, settings, cache), the proxy settings are the recorder's.
  std::unique_ptr<AmbrelProcess> Start(const std::vector<std::string>& arguments, Settings more = {}) {
    Settings settings{{"AMBREL_TILES", ""},
                      {"AMBREL_CONTACT", ""},
                      {"HOME", user_.File("home")},
                      {"XDG_CONFIG_HOME", user_.File("config")},
                      {"XDG_CACHE_HOME", user_.File("cache")}};
    settings.merge(more);
    return std::make_unique<AmbrelProcess>(settings, arguments, program_);
  }

  // Waits until the tiles under the map have loaded and a screenshot satisfies `shows`; that
  // screenshot, or null on time-out.
  template <typename Shows>
  std::unique_ptr<ScreenImage> WaitForScreen(AmbrelProcess& app, Shows shows) {
    if (!app.WaitForLines(kLoaded, homeTiles.size())) return nullptr;
    std::unique_ptr<ScreenImage> shot;
    const bool shown = WaitUntil(
        [&] {
          const std::string path = app.Screenshot("map");
          if (path.empty()) return false;
          shot = std::make_unique<ScreenImage>(path);
          return shows(*shot);
        },
        AmbrelProcess::kStartTimeoutMs);
    return shown ? std::move(shot) : nullptr;
  }

  static void Quit(AmbrelProcess& app) {
    app.Input("key ctrl+q");
    ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
  }

  TileServer& Recorder() { return *recorder_; }

  const std::set<Tile> homeTiles = TilesCovering(kHomeLatitude, kHomeLongitude, kZoom);
  TempFolder user_{"installed-ambrel-user"};

 private:
  std::string program_;
  std::optional<TileServer> recorder_;
  std::optional<ProxyEnvironment> proxy_;
};

// The world pixel shown at a screen point of the map view's client area, centred on home.
std::pair<int64_t, int64_t> WorldPixelAt(int sx, int sy) {
  const auto [cx, cy] = WorldPixel(kHomeLatitude, kHomeLongitude, kZoom);
  return {cx - kMapClientWidth / 2 + (sx - kClientLeft), cy - kMapClientHeight / 2 + (sy - kClientTop)};
}

TEST_F(InstalledAmbrel, AnMBTilesFileShowsItsExactPixelsWithoutAnyConnection) {
  const Tile first = *homeTiles.begin();  // the top-left one: the smallest column, then row
  const std::string map = user_.File("city map.mbtiles");
  {
    MBTilesTestFile file(map);
    file.Metadata("name", "quadrants");
    file.Metadata("format", "png");
    file.Metadata("minzoom", std::to_string(kZoom));
    file.Metadata("maxzoom", std::to_string(kZoom));
    for (const Tile& t : homeTiles)
      file.Tile(kZoom, static_cast<int>(t.x), static_cast<int>((int64_t{1} << kZoom) - 1 - t.y),
                QuadrantTile(t.x - first.x, t.y - first.y));
    file.Close();
  }
  auto expected = [&](int sx, int sy) {
    const auto [wx, wy] = WorldPixelAt(sx, sy);
    return QuadrantColour(wx / 256 - first.x, wy / 256 - first.y, (wy % 256 >= 128 ? 2 : 0) + (wx % 256 >= 128 ? 1 : 0));
  };
  // Every pixel of the client area: a shift, a scale or a wrong tile shows at the quadrants' edges.
  int wrong = 0;
  auto mismatches = [&](const ScreenImage& shot) {
    wrong = 0;
    for (int y = kClientTop; y < kClientTop + kMapClientHeight; ++y)
      for (int x = kClientLeft; x < kClientLeft + kMapClientWidth; ++x) wrong += shot.At(x, y) == expected(x, y) ? 0 : 1;
    return wrong;
  };

  std::unique_ptr<AmbrelProcess> app = Start({"--tiles", "mbtiles:" + map});
  const auto shot = WaitForScreen(*app, [&](const ScreenImage& s) { return mismatches(s) == 0; });
  ASSERT_NE(shot, nullptr) << wrong << " pixels of the map differ from the file's tiles\n" << app->Stderr();
  Quit(*app);
  EXPECT_EQ(Recorder().Log().size(), 0u);
  EXPECT_EQ(Recorder().Counters().connections, 0u);
}

// A tile service played by the tile server on loopback, answering /{z}/{x}/{y}.png, reached
// directly as no_proxy says (the recorder behind the proxy settings sees nothing); two runs on each of two
// services: one whose tiles stay fresh for an hour, one whose tiles are stale at once.
TEST_F(InstalledAmbrel, ATileServiceIsAskedPolitelyAndItsTilesAreKeptFreshOnesNotAskedForAgain) {
  TileServer fresh({"--max-age", "3600", "--latency", "50"});
  TileServer stale({"--max-age", "0", "--latency", "50"});

  // Every tile's visible part holds the service's background colour (not the placeholder).
  auto tilesShown = [&](const ScreenImage& shot) {
    for (const Tile& tile : homeTiles) {
      const ScreenRect r = VisibleRect(tile, kHomeLatitude, kHomeLongitude);
      if (shot.Count(r.left, r.top, r.right, r.bottom, [](Rgb c) { return c == kUpstreamBackground; }) == 0)
        return false;
    }
    return true;
  };
  auto sameMap = [](const ScreenImage& a, const ScreenImage& b) {
    return a.Differences(b, kClientLeft, kClientTop, kClientLeft + kMapClientWidth, kClientTop + kMapClientHeight) == 0;
  };
  // One run on `service`: the screen it showed once every tile was drawn like `like` (or, without
  // one, showed every tile), and the requests that reached the service.
  struct Run {
    std::unique_ptr<ScreenImage> shot;
    std::vector<TileServerLogEntry> log;
    TileServerCounters counters;
  };
  auto run = [&](TileServer& service, const ScreenImage* like) {
    service.Reset();
    std::unique_ptr<AmbrelProcess> app =
        Start({"--tiles", "upstream:http://" + service.HostPort() + "/{z}/{x}/{y}.png", "--contact", kContact},
              {{"no_proxy", "127.0.0.1,localhost"}});
    Run result;
    result.shot = WaitForScreen(*app, [&](const ScreenImage& s) { return like ? sameMap(s, *like) : tilesShown(s); });
    EXPECT_NE(result.shot, nullptr) << app->Stderr();
    Quit(*app);
    result.log = service.Log();
    result.counters = service.Counters();
    return result;
  };
  auto asked = [](const std::vector<TileServerLogEntry>& log) {
    std::multiset<std::string> paths;
    for (const TileServerLogEntry& entry : log) paths.insert(entry.path);
    return paths;
  };
  std::multiset<std::string> homePaths;
  for (const Tile& t : homeTiles)
    homePaths.insert("/" + std::to_string(t.z) + "/" + std::to_string(t.x) + "/" + std::to_string(t.y) + ".png");
  // Each tile on screen once, straight to the service, with the contact, never more than two at
  // once or over more than two connections.
  auto expectPolite = [&](const Run& r, const std::string& outcome) {
    EXPECT_EQ(asked(r.log), homePaths);
    for (const TileServerLogEntry& entry : r.log) {
      EXPECT_EQ(entry.userAgent, kUserAgent) << entry.path;
      EXPECT_EQ(entry.form, "origin") << entry.path << " was sent as to a proxy";
      EXPECT_EQ(entry.outcome, outcome) << entry.path;
    }
    EXPECT_LE(r.counters.maxInFlight, 2u);
    EXPECT_LE(r.counters.connections, 2u);
  };

  const Run first = run(fresh, nullptr);
  ASSERT_NE(first.shot, nullptr);
  expectPolite(first, "200 tile");
  // The disk cache is in the user's cache folder.
  bool cacheFile = false;
  for (const auto& entry : std::filesystem::directory_iterator(user_.File("cache/orvanmap")))
    cacheFile |= entry.path().extension() == ".mbtiles";
  EXPECT_TRUE(cacheFile) << "no disk cache under $XDG_CACHE_HOME/orvanmap";

  // The next run shows the same map from the disk cache alone.
  const Run again = run(fresh, first.shot.get());
  ASSERT_NE(again.shot, nullptr);
  EXPECT_EQ(again.log.size(), 0u) << "a fresh tile was asked for again, e.g. " << again.log.front().path;

  // Stale tiles are asked for again with the tag they were served with: 304, the same map.
  const Run staleFirst = run(stale, first.shot.get());
  ASSERT_NE(staleFirst.shot, nullptr);
  expectPolite(staleFirst, "200 tile");
  const Run revalidated = run(stale, first.shot.get());
  ASSERT_NE(revalidated.shot, nullptr);
  expectPolite(revalidated, "304 not-modified");

  EXPECT_EQ(Recorder().Log().size(), 0u) << "a request went through the proxy settings";
}

}  // namespace
