// A 1024 x 768 map view filled from a tile source of the tile-source library, until every tile of
// the screen is drawn (one OMEventTypeMapLoaded per tile, then the window painted):
//
// BM_Fill/source:0  an MBTiles file of the tile server's synthetic PNG tiles;
// BM_Fill/source:1  an upstream tile service (the tile server, tiles fresh for a day) whose tiles
//                   are all in the disk cache already: no request may reach the server, and the
//                   benchmark fails if one does.
// way:0  from OMMapViewSetTileSource of the source in force (kept open, its file unchanged; the
//        tiles held dropped) at the view's position; way:1  from OMMapViewSetCenter to the other of
//        two places, nothing held; way:2 (MBTiles only)  from OMMapViewSetTileSource of a copy of
//        the file other than the one in force, so each fill opens and checks a file and starts
//        its workers.
// BM_SetSourceOnly/source:N: the OMMapViewSetTileSource call alone, without a position.
//
// Each beside BM_Floor/source:N: the same tiles' blobs read from the same SQLite file through one
// connection and one prepared statement, and decoded one after another on one thread by the
// platform's imaging factory, as the control decodes them. That is all the work a fill cannot do
// without; the control may use both cores, the floor uses one.
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchRatio.h"
#include "bench/mapview/MapViewBenchSupport.h"
#include "mapview/EncodedImage.h"
#include "mapview/MapViewInternal.h"
#include "mapview/OMMapView.h"
#include "platform/ui/DeviceScreen.h"
#include "projection/MercatorProjection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TileServerFixture.h"
#include "tests/tools/MBTilesTestFile.h"
#include "tools/tileserver/TileAddress.h"

namespace {

using bench::LoadCounter;
using bench::Pump;
using Clock = std::chrono::steady_clock;

constexpr int32_t kClientWidth = 1024, kClientHeight = 768;
constexpr int kLevel = 12;
// Place 0 at (37.43, 127.17) and place 1 eight tiles east of it: no tile in common, and the same
// alignment to the tile grid, so both screens hold as many tiles.
constexpr double kLatitude = 37.433446, kLongitude = 127.173493;
constexpr int32_t kPlaceShift = 8 * 256;
constexpr auto kFillLimit = std::chrono::seconds(20);
constexpr const char* kContact = "bench@orvanmap.test";

enum Source { kMBTiles = 0, kUpstream = 1 };
enum Way { kSetSource = 0, kMove = 1, kOpen = 2 };

struct Place {
  double latitude, longitude;
};

struct TileAt {
  int32_t x, y;  // XYZ: row 0 at the north
};

struct Setup {
  TempFolder folder;
  std::unique_ptr<TileServer> server;
  HWND parent = nullptr;
  Place places[2]{};
  std::vector<TileAt> tiles[2];  // the tiles the view shows at each place
  std::string mbtilesFile;
  std::string mbtilesCopy;  // the same tiles in another file
  std::string cacheFile;  // the upstream's disk cache, once filled

  std::string SourceText(int source, bool copy = false) const {
    return source == kMBTiles ? "mbtiles:" + (copy ? mbtilesCopy : mbtilesFile)
                              : "upstream:http://" + server->HostPort() + "/mt?x={x}&y={y}&z={z}";
  }
};

Setup* shared = nullptr;

OMMapView* MakeView() {
  OMMapView* view =
      OMMapViewCreate(0x50800000, 0, 0, kClientWidth + 2, kClientHeight + 2, shared->parent, nullptr);
  if (view == nullptr) throw std::runtime_error("no map view");
  OMMapViewSetEventHandler(view, LoadCounter::Handler, 0);
  OMMapViewSetTileContact(view, kContact);
  return view;
}

void WaitIdle(OMMapView* view) {
  for (Tile* t : view->tileLayer.cache.order)
    while (t->Downloading()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// After a fill: "" when every tile the view holds is of the level and holds image bytes from the
// source (a tile whose bytes were no image, say, fires its events too and must not pass for one).
std::string CheckFill(OMMapView* view, size_t expected) {
  WaitIdle(view);
  if (view->tileLayer.cache.Count() != expected) return "the view changed its tiles during the fill";
  if (expected < 12) return "too few tiles for a 1024x768 screen";
  for (Tile* t : view->tileLayer.cache.order) {
    if (ZoomLevelOf(t->zoom) != kLevel) return "a tile of another level";
    if (!t->IsLoaded()) return "a tile was not read from the source";
  }
  return "";
}

// Where a fill's time went: in the call that starts it, waiting for the tiles, painting.
struct FillPhases {
  double callMs = 0, waitMs = 0, paintMs = 0;
};

double MsSince(Clock::time_point& from) {
  const Clock::time_point now = Clock::now();
  const double ms = std::chrono::duration<double, std::milli>(now - from).count();
  from = now;
  return ms;
}

// Starts a fill with `start`, waits for every tile's event and paints; "" or what went wrong.
template <typename Start>
std::string Fill(OMMapView* view, Start start, FillPhases* phases = nullptr) {
  FillPhases ignored;
  if (phases == nullptr) phases = &ignored;
  LoadCounter::Reset();
  Clock::time_point at = Clock::now();
  if (!start()) return std::string("refused: ") + OMMapViewGetLastError(view);
  phases->callMs += MsSince(at);
  const size_t expected = view->tileLayer.cache.Count();
  if (!LoadCounter::WaitFor(expected, kFillLimit)) return "not every tile came";
  phases->waitMs += MsSince(at);
  UpdateWindow(view->window);
  phases->paintMs += MsSince(at);
  return CheckFill(view, expected);
}

// CPU time of every thread of this process.
double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Page faults of this process that needed no disk: each is a page touched for the first time.
double MinorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_minflt);
}

std::vector<TileAt> TilesHeld(OMMapView* view) {
  std::vector<TileAt> tiles;
  for (Tile* t : view->tileLayer.cache.order) tiles.push_back({t->tileX, t->tileY});
  return tiles;
}

// The tile server's tiles around both places, into an MBTiles file of level kLevel.
void MakeMBTiles(MercatorProjection& projection) {
  shared->mbtilesFile = shared->folder.File("fill.mbtiles");
  MBTilesTestFile map(shared->mbtilesFile);
  map.Metadata("name", "fill bench");
  map.Metadata("format", "png");
  map.Metadata("minzoom", std::to_string(kLevel));
  map.Metadata("maxzoom", std::to_string(kLevel));
  map.Exec("BEGIN");
  RawHttpConnection connection(shared->server->Port());
  const std::string host = "mt0." + tileserver::WorldDomain();
  std::set<std::pair<int32_t, int32_t>> stored;
  for (const Place& place : shared->places) {
    const PixelPoint centre = projection.LatLonToPixel(place.latitude, place.longitude, kLevel);
    // Every tile within a screen and a tile of the centre, whatever the view's rounding.
    for (int32_t x = (centre.x - kClientWidth) / 256; x <= (centre.x + kClientWidth) / 256; ++x)
      for (int32_t y = (centre.y - kClientHeight) / 256; y <= (centre.y + kClientHeight) / 256; ++y) {
        if (!stored.insert({x, y}).second) continue;
        connection.Send(TileRequestText(host, x, y, kLevel, true));
        RawHttpReply reply;
        if (connection.ReadOneResponse(20000, reply) != RawReadEnd::Complete || reply.status != 200)
          throw std::runtime_error("the tile server did not give a tile");
        map.Tile(kLevel, x, (1 << kLevel) - 1 - y, reply.body);
      }
  }
  map.Exec("COMMIT");
}

// Fills a view at both places from `source` (filling the disk cache of the upstream) and returns
// the tiles shown at each.
void FillBothPlaces(int source) {
  OMMapView* view = MakeView();
  std::string problem;
  if (OMMapViewSetTileSource(view, shared->SourceText(source).c_str()) == 0)
    problem = std::string("source refused: ") + OMMapViewGetLastError(view);
  for (int p = 0; p < 2 && problem.empty(); ++p) {
    const Place& place = shared->places[p];
    problem = Fill(view, [&] {
      return p == 0 ? OMMapViewSetMap(view, 1, place.latitude, place.longitude, kLevel) != 0
                    : OMMapViewSetCenter(view, place.latitude, place.longitude) != 0;
    });
    if (source == kMBTiles) shared->tiles[p] = TilesHeld(view);
  }
  OMMapViewDestroy(view);
  Pump();
  if (!problem.empty()) throw std::runtime_error("preparing the " + shared->SourceText(source) + " fill: " + problem);
}

void Prepare() {
  shared = new Setup();
  // The upstream client must reach the loopback server directly, and its cache goes to the
  // scratch folder. Set before any thread reads the environment.
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    unsetenv(name);
  setenv("XDG_CACHE_HOME", shared->folder.File("cache").c_str(), 1);
  StartDeviceScreenWith(DeviceScreenConfig{"headless", 1280, 1024, 1});
  WNDCLASSW parentClass{};
  parentClass.lpfnWndProc = DefWindowProcW;
  parentClass.lpszClassName = u"SourceFillBenchParent";
  RegisterClassW(&parentClass);
  shared->parent = CreateWindowExW(0, u"SourceFillBenchParent", u"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1200, 1000,
                                   nullptr, nullptr, nullptr, nullptr);
  shared->server = std::make_unique<TileServer>(std::vector<std::string>{"--max-age", "86400"});

  MercatorProjection projection;
  const PixelPoint a = projection.LatLonToPixel(kLatitude, kLongitude, kLevel);
  const GeoPoint b = projection.PixelToLatLon(a.x + kPlaceShift, a.y, kLevel);
  shared->places[0] = {kLatitude, kLongitude};
  shared->places[1] = {b.latitude, b.longitude};
  MakeMBTiles(projection);
  shared->mbtilesCopy = shared->folder.File("fill-copy.mbtiles");
  std::filesystem::copy_file(shared->mbtilesFile, shared->mbtilesCopy);
  FillBothPlaces(kMBTiles);
  FillBothPlaces(kUpstream);  // the first fill: every tile into the disk cache
  for (const auto& entry : std::filesystem::directory_iterator(shared->folder.File("cache/orvanmap")))
    if (entry.path().extension() == ".mbtiles") shared->cacheFile = entry.path().string();
  if (shared->cacheFile.empty()) throw std::runtime_error("the upstream source made no disk cache");
  shared->server->Reset();  // from here on, no request may reach it
}

void BM_Fill(benchmark::State& state) {
  const int source = int(state.range(0));
  const Way way = Way(state.range(1));
  OMMapView* view = MakeView();
  const std::string sourceText = shared->SourceText(source);
  // Both places once, untimed; the view ends at place 0 (kSetSource fills there again and again).
  std::string problem = OMMapViewSetTileSource(view, sourceText.c_str()) != 0 ? "" : OMMapViewGetLastError(view);
  for (int p : {1, 0}) {
    if (!problem.empty()) break;
    problem = Fill(view, [&] {
      const Place& place = shared->places[p];
      return p == 1 ? OMMapViewSetMap(view, 1, place.latitude, place.longitude, kLevel) != 0
                    : OMMapViewSetCenter(view, place.latitude, place.longitude) != 0;
    });
  }
  const uint64_t requestsBefore = shared->server->Counters().requests;
  int next = 1;
  size_t tiles = 0;
  FillPhases phases;
  double cpuMs = 0, faults = 0;
  for (auto _ : state) {
    if (!problem.empty()) break;
    state.PauseTiming();
    Pump();
    if (way == kMove) view->tileLayer.cache.Clear();  // nothing held: every tile comes from the source
    const Place place = shared->places[next];
    const std::string openText = shared->SourceText(source, next == 1);
    next = 1 - next;
    const double cpuBefore = ProcessCpuMs(), faultsBefore = MinorFaults();
    state.ResumeTiming();
    problem = Fill(
        view,
        [&] {
          switch (way) {
            case kSetSource: return OMMapViewSetTileSource(view, sourceText.c_str()) != 0;
            case kMove: return OMMapViewSetCenter(view, place.latitude, place.longitude) != 0;
            case kOpen: return OMMapViewSetTileSource(view, openText.c_str()) != 0;
          }
          return false;
        },
        &phases);
    state.PauseTiming();
    cpuMs += ProcessCpuMs() - cpuBefore;
    faults += MinorFaults() - faultsBefore;
    tiles = view->tileLayer.cache.Count();
    state.ResumeTiming();
  }
  const double n = double(std::max<int64_t>(1, state.iterations()));
  state.counters["call_ms"] = phases.callMs / n;
  state.counters["wait_ms"] = phases.waitMs / n;
  state.counters["paint_ms"] = phases.paintMs / n;
  state.counters["cpu_ms"] = cpuMs / n;
  state.counters["page_faults"] = faults / n;
  const uint64_t requests = shared->server->Counters().requests - requestsBefore;
  if (problem.empty() && source == kUpstream && requests != 0)
    problem = std::to_string(requests) + " requests reached the upstream while measured; the disk cache was not used";
  if (!problem.empty()) state.SkipWithError(problem.c_str());
  state.counters["tiles"] = double(tiles);
  state.counters["upstream_requests"] = double(requests);
  OMMapViewDestroy(view);
  Pump();
}
BENCHMARK(BM_Fill)
    ->ArgsProduct({{kMBTiles, kUpstream}, {kSetSource, kMove}})
    ->Args({kMBTiles, kOpen})
    ->ArgNames({"source", "way"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// OMMapViewSetTileSource of the source in force alone, on a view without a position (no tile is
// asked for): the check that its file is unchanged, which BM_Fill way:0 pays on every fill.
void BM_SetSourceOnly(benchmark::State& state) {
  OMMapView* view = MakeView();
  const std::string sourceText = shared->SourceText(int(state.range(0)));
  for (auto _ : state) {
    if (OMMapViewSetTileSource(view, sourceText.c_str()) == 0) {
      state.SkipWithError(OMMapViewGetLastError(view));
      break;
    }
  }
  OMMapViewDestroy(view);
  Pump();
}
BENCHMARK(BM_SetSourceOnly)
    ->Arg(kMBTiles)
    ->Arg(kUpstream)
    ->ArgName("source")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// The same tiles, alternating between the places as BM_Fill way:1 does, read through one
// connection with one prepared statement and decoded on this thread.
void BM_Floor(benchmark::State& state) {
  const int source = int(state.range(0));
  const std::string& file = source == kMBTiles ? shared->mbtilesFile : shared->cacheFile;
  sqlite3* db = nullptr;
  sqlite3_stmt* select = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, "SELECT tile_data FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
                         -1, &select, nullptr) != SQLITE_OK) {
    state.SkipWithError(sqlite3_errmsg(db));
    sqlite3_close(db);
    return;
  }
  std::string problem;
  int next = 1;
  double bytes = 0;
  const double cpuBefore = ProcessCpuMs(), faultsBefore = MinorFaults();
  for (auto _ : state) {
    for (const TileAt& tile : shared->tiles[next]) {
      sqlite3_bind_int(select, 1, kLevel);
      sqlite3_bind_int(select, 2, tile.x);
      sqlite3_bind_int(select, 3, (1 << kLevel) - 1 - tile.y);
      EncodedImage image;
      if (sqlite3_step(select) != SQLITE_ROW ||
          !image.Decode(static_cast<const uint8_t*>(sqlite3_column_blob(select, 0)),
                        uint32_t(sqlite3_column_bytes(select, 0))))
        problem = "a tile could not be read or decoded";
      bytes += sqlite3_column_bytes(select, 0);
      sqlite3_reset(select);
    }
    next = 1 - next;
    if (!problem.empty()) break;
  }
  if (!problem.empty()) state.SkipWithError(problem.c_str());
  const double n = double(std::max<int64_t>(1, state.iterations()));
  state.counters["tiles"] = double(shared->tiles[0].size());
  state.counters["cpu_ms"] = (ProcessCpuMs() - cpuBefore) / n;
  state.counters["page_faults"] = (MinorFaults() - faultsBefore) / n;
  state.counters["tile_kib"] = bytes / 1024 / n / double(std::max<size_t>(1, shared->tiles[0].size()));
  sqlite3_finalize(select);
  sqlite3_close(db);
}
BENCHMARK(BM_Floor)
    ->Arg(kMBTiles)
    ->Arg(kUpstream)
    ->ArgName("source")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  try {
    Prepare();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_mapview_sources: %s\n", e.what());
    delete shared;
    return 1;
  }
  const char* const floors[] = {"BM_Floor/source:0/iterations:20/real_time", "BM_Floor/source:1/iterations:20/real_time"};
  bench::RunAndCompare(
      argc, argv,
      {{"BM_Fill/source:0/way:0/iterations:20/real_time", floors[0],
        "1024x768 fill from an MBTiles file, from SetTileSource, vs reading + decoding its tiles on one thread", 1.2},
       {"BM_Fill/source:0/way:1/iterations:20/real_time", floors[0],
        "1024x768 fill from an MBTiles file, from SetCenter, vs reading + decoding its tiles on one thread", 1.2},
       {"BM_Fill/source:1/way:0/iterations:20/real_time", floors[1],
        "1024x768 fill from the upstream's disk cache, from SetTileSource, vs reading + decoding on one thread", 1.2},
       {"BM_Fill/source:1/way:1/iterations:20/real_time", floors[1],
        "1024x768 fill from the upstream's disk cache, from SetCenter, vs reading + decoding on one thread", 1.2},
       {"BM_Fill/source:0/way:2/iterations:20/real_time", floors[0],
        "1024x768 fill from another MBTiles file (opened, checked, new workers) vs reading + decoding", 0},
       {"BM_SetSourceOnly/source:0/iterations:20/real_time", floors[0],
        "SetTileSource(mbtiles) of the one in force alone (its file unchanged) vs reading + decoding a screen", 0},
       {"BM_SetSourceOnly/source:1/iterations:20/real_time", floors[1],
        "SetTileSource(upstream) of the one in force alone vs reading + decoding a screen's tiles", 0}});
  const uint64_t asked = shared->server->Counters().requests;
  std::printf("upstream requests after the disk cache was filled: %llu (0 expected)\n",
              static_cast<unsigned long long>(asked));
  delete shared;
  return asked == 0 ? 0 : 1;
}
