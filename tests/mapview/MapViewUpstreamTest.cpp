// Tiles from an upstream tile service through the real control, played by a second tile server on
// loopback answering plain /{z}/{x}/{y}.png paths: the screen shows its tiles, every request names
// the program and the contact, at most two travel at once, none goes through the proxy setting
// (loopback is in no_proxy),
// fresh tiles come from the disk cache (under $XDG_CACHE_HOME) without a request, and stale ones
// are revalidated, a 304 keeping the bytes the screen shows.
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/mapview/MapViewHarness.h"
#include "tests/support/TempFolder.h"
#include "tools/tileserver/TileAddress.h"
#include "tools/tileserver/TileRenderer.h"

namespace {

constexpr int32_t kClientW = 200, kClientH = 200;
constexpr const char* kContact = "maps@example.test";
constexpr const char* kUserAgent = "OrvanMapLib/1.0 (+maps@example.test)";
constexpr int32_t kCentre = 1000;  // world pixel of the centre, both ways, at level 3
constexpr double kZoom = 3.0;

// Sets an environment variable for the object's lifetime. Environment changes are not
// thread-safe: made before the control's workers start, undone after they end.
class EnvironmentValue {
 public:
  EnvironmentValue(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    if (old != nullptr) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~EnvironmentValue() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class UpstreamTiles : public MapViewTest {
 protected:
  std::string UpstreamSourceText(const TileServer& upstream) { return "upstream:http://" + upstream.HostPort() + "/{z}/{x}/{y}.png"; }

  // A control of its own at `top`, showing the upstream's tiles around the centre.
  OMMapView* ShowUpstream(const TileServer& upstream, int32_t top) {
    OMMapView* view = MakeView(10, top, kClientW + 2, kClientH + 2);
    EXPECT_EQ(OMMapViewSetTileContact(view, kContact), 1);
    EXPECT_EQ(OMMapViewSetTileSource(view, UpstreamSourceText(upstream).c_str()), 1) << OMMapViewGetLastError(view);
    EXPECT_STREQ(OMMapViewGetLastError(view), "");
    ShowAt(view, kCentre, kCentre, kZoom);
    EXPECT_TRUE(WaitForTiles(view));
    Pump();
    return view;
  }

  // The upstream's tile pixel: a loopback host is neither tile domain, so its tiles are world
  // tiles without a server number.
  uint32_t UpstreamPixel(int32_t wx, int32_t wy, int32_t z) {
    const TileId id{wx / 256, wy / 256, z};
    auto it = rendered_.find(id);
    if (it == rendered_.end()) {
      tileserver::TileKey key;
      key.kind = tileserver::HostKind::Other;
      key.x = id.x, key.y = id.y, key.z = id.z;
      it = rendered_.emplace(id, tileserver::TileRenderer::Render(key)).first;
    }
    const size_t at = (size_t(wy % 256) * 256 + size_t(wx % 256)) * 3;
    return (uint32_t(it->second[at]) << 16) | (uint32_t(it->second[at + 1]) << 8) | it->second[at + 2];
  }

  // Client points whose pixel is not the upstream tile's (or, where that is white, the placeholder's).
  int Mismatches(OMMapView* view) {
    const PixelRect v = view->viewport, b = view->bufferRect;
    const int32_t z = ZoomLevelOf(view->zoom);
    int wrong = 0;
    for (int32_t y = 0; y < kClientH; y += 7)
      for (int32_t x = 0; x < kClientW; x += 7) {
        const int32_t lx = v.left - b.left + x, ly = v.top - b.top + y;
        const uint32_t tile = UpstreamPixel(v.left + x, v.top + y, z);
        const uint32_t expected = tile == kWhiteRgb ? PlaceholderPixel(lx, ly) : tile;
        const uint32_t shown = ClientPixel(view, x, y);
        if (shown != expected && ++wrong <= 3)
          ADD_FAILURE() << "client (" << x << ", " << y << "): shows " << std::hex << shown << ", expected " << expected;
      }
    return wrong;
  }

  std::set<TileId> Asked(TileServer& upstream) {
    std::set<TileId> asked;
    for (const TileServerLogEntry& entry : upstream.Log()) {
      const tileserver::TilePath path = tileserver::ParseTilePath(entry.path);
      EXPECT_EQ(path.status, tileserver::TilePathStatus::Ok) << entry.path;
      asked.insert(TileId{path.x, path.y, path.z});
    }
    return asked;
  }

  TempFolder cacheHome;
  EnvironmentValue cacheHomeSetting{"XDG_CACHE_HOME", cacheHome.Path()};
  // The control honours the proxy settings, which point at the fixture's server: loopback
  // services are exempt, as a user's no_proxy would make them.
  EnvironmentValue noProxy{"no_proxy", "127.0.0.1,localhost"};

 private:
  std::map<TileId, std::vector<uint8_t>> rendered_;
};

TEST_F(UpstreamTiles, AskedPolitelyAndNotAgainWhileFresh) {
  TileServer upstream({"--max-age", "3600", "--latency", "20"});
  OMMapView* view = ShowUpstream(upstream, 10);
  EXPECT_EQ(Mismatches(view), 0);
  const std::vector<TileServerLogEntry> log = upstream.Log();
  ASSERT_GE(log.size(), 4u);
  for (const TileServerLogEntry& entry : log) {
    EXPECT_EQ(entry.userAgent, kUserAgent);
    EXPECT_EQ(entry.outcome, "200 tile") << entry.path;
    EXPECT_EQ(entry.form, "origin") << "sent to a proxy";
  }
  const TileServerCounters counters = upstream.Counters();
  EXPECT_LE(counters.maxInFlight, 2u);
  EXPECT_LE(counters.connections, 2u);
  EXPECT_EQ(server.Counters().requests, 0u) << "a request went through the proxy setting";
  // The disk cache is the user's, under $XDG_CACHE_HOME.
  bool cacheFile = false;
  for (const auto& entry : std::filesystem::directory_iterator(cacheHome.File("orvanmap")))
    cacheFile |= entry.path().extension() == ".mbtiles";
  EXPECT_TRUE(cacheFile);
  const std::string described = view->tileLayer.cache.external->source->Describe();
  EXPECT_NE(described.find("disk cache " + cacheHome.File("orvanmap/")), std::string::npos) << described;

  // Setting the source again drops the tiles held; a second control starts with none. Both are
  // drawn from the disk cache alone.
  ASSERT_EQ(OMMapViewSetTileSource(view, UpstreamSourceText(upstream).c_str()), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view), 0);
  OMMapView* second = ShowUpstream(upstream, 10 + kClientH + 12);
  EXPECT_EQ(Mismatches(second), 0);
  EXPECT_EQ(upstream.Counters().requests, counters.requests) << "a fresh tile was asked for again";
}

TEST_F(UpstreamTiles, StaleTilesAreRevalidatedAndA304KeepsTheirBytes) {
  TileServer upstream({"--max-age", "0"});
  OMMapView* view = ShowUpstream(upstream, 10);
  EXPECT_EQ(Mismatches(view), 0);
  const std::set<TileId> first = Asked(upstream);
  ASSERT_GE(first.size(), 4u);
  upstream.Reset();

  ASSERT_EQ(OMMapViewSetTileSource(view, UpstreamSourceText(upstream).c_str()), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view), 0);
  EXPECT_EQ(Asked(upstream), first);
  for (const TileServerLogEntry& entry : upstream.Log()) EXPECT_EQ(entry.outcome, "304 not-modified") << entry.path;
}

// The service goes down mid-session and comes back: the tiles in the disk cache are shown though
// stale (the failed revalidation keeps their bytes), tiles not cached wait, and arrive by
// themselves once the service answers again, without anything asking for them anew.
TEST_F(UpstreamTiles, WhileTheServiceIsDownCachedTilesAreShownAndTheRestArriveWhenItIsBack) {
  std::optional<TileServer> upstream(std::in_place, std::vector<std::string>{"--max-age", "0"});
  const std::string port = std::to_string(upstream->Port());
  OMMapView* view = ShowUpstream(*upstream, 10);
  EXPECT_EQ(Mismatches(view), 0);

  upstream->Kill();
  ASSERT_EQ(OMMapViewSetTileSource(view, UpstreamSourceText(*upstream).c_str()), 1);
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view), 0) << "stale tiles from the disk cache are not shown while the service is down";

  // Elsewhere, where nothing is cached: the tiles wait for the service.
  ShowAt(view, kCentre + 700, kCentre - 600, kZoom);
  PumpUntil([] { return false; }, 300);
  upstream.reset();
  upstream.emplace(std::vector<std::string>{"--max-age", "0", "--port", port});
  ASSERT_TRUE(WaitForTiles(view));
  Pump();
  EXPECT_EQ(Mismatches(view), 0) << "tiles did not come once the service was back";
  const std::vector<TileServerLogEntry> log = upstream->Log();
  EXPECT_FALSE(log.empty());
  for (const TileServerLogEntry& entry : log) EXPECT_EQ(entry.outcome, "200 tile") << entry.path;
}

}  // namespace
