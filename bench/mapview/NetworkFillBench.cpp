// A 1024 x 768 map view filled from an upstream tile service over TLS on loopback: nghttpx in
// front of the tile server, whose delay rule makes every request take L ms (L = 50, 100, 200).
// Every fill starts from nothing: a new control whose source is set (untimed), an empty disk
// cache, a fresh TLS connection; timed from setting its position until every tile is drawn.
//
// BM_NetworkFill/L:N/http2:1  the front speaks HTTP/2: every tile a stream of one connection;
// BM_NetworkFill/L:N/http2:0  the front speaks HTTP/1.1 only: two kept-alive connections.
// Each beside BM_NetworkFloor/L:N: one request on a fresh TLS connection (libcurl, one easy
// handle) plus the slowest decode of the screen's tiles: no fill can be faster than that.
#include <curl/curl.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchRatio.h"
#include "bench/mapview/MapViewBenchSupport.h"
#include "mapview/EncodedImage.h"
#include "mapview/MapViewInternal.h"
#include "mapview/OMMapView.h"
#include "platform/ui/DeviceScreen.h"
#include "tests/support/NetworkFronts.h"
#include "tests/support/RawHttpConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TileServerFixture.h"

namespace {

using bench::LoadCounter;
using bench::Pump;
using Clock = std::chrono::steady_clock;

constexpr int32_t kClientWidth = 1024, kClientHeight = 768;
constexpr int kLevel = 12;
constexpr double kLatitude = 37.433446, kLongitude = 127.173493;
constexpr auto kFillLimit = std::chrono::seconds(30);
constexpr const char* kContact = "bench@orvanmap.test";

struct Setup {
  TempFolder folder{"network-fill-bench"};
  std::unique_ptr<TileServer> backend;
  std::unique_ptr<Http2Front> fronts[2];  // [0] HTTP/1.1 only, [1] HTTP/2
  HWND parent = nullptr;
  std::vector<std::string> screenTiles;  // the encoded tiles of the screen
};

Setup* shared = nullptr;

void EmptyDiskCache() {
  std::filesystem::remove_all(shared->folder.File("cache"));
  std::filesystem::create_directories(shared->folder.File("cache"));
}

// A new control with the front's upstream as its source and no position yet (no tile asked for:
// nothing connected); null on failure, with `problem` saying why.
OMMapView* NewView(const Http2Front& front, std::string* problem) {
  OMMapView* view =
      OMMapViewCreate(0x50800000, 0, 0, kClientWidth + 2, kClientHeight + 2, shared->parent, nullptr);
  if (view == nullptr) {
    *problem = "no map view";
    return nullptr;
  }
  OMMapViewSetEventHandler(view, LoadCounter::Handler, 0);
  OMMapViewSetTileContact(view, kContact);
  const std::string source = "upstream:" + front.Origin() + "/{z}/{x}/{y}.png";
  if (OMMapViewSetTileSource(view, source.c_str()) == 0) *problem = std::string("refused: ") + OMMapViewGetLastError(view);
  return view;
}

// The fill of `view` from nothing: its position set, every tile of the screen asked for on a
// fresh TLS connection, decoded and drawn; "" or what went wrong. `tiles` gets the tiles held.
std::string Fill(OMMapView* view, std::vector<std::pair<int32_t, int32_t>>* tiles = nullptr) {
  LoadCounter::Reset();
  if (OMMapViewSetMap(view, 1, kLatitude, kLongitude, kLevel) == 0)
    return std::string("refused: ") + OMMapViewGetLastError(view);
  const size_t expected = view->tileLayer.cache.Count();
  if (!LoadCounter::WaitFor(expected, kFillLimit)) return "not every tile came";
  UpdateWindow(view->window);
  for (Tile* t : view->tileLayer.cache.order) {
    while (t->Downloading()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!t->IsLoaded()) return "a tile was not read from the source";
    if (tiles != nullptr) tiles->push_back({t->tileX, t->tileY});
  }
  return "";
}

// Drops the control (and with it its source and the connection) and empties the disk cache.
void DropView(OMMapView* view) {
  if (view != nullptr) OMMapViewDestroy(view);
  Pump();
  EmptyDiskCache();
}

void Prepare() {
  shared = new Setup();
  for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
    unsetenv(name);
  setenv("XDG_CACHE_HOME", shared->folder.File("cache").c_str(), 1);
  StartDeviceScreenWith(DeviceScreenConfig{"headless", 1280, 1024, 1});
  WNDCLASSW parentClass{};
  parentClass.lpfnWndProc = DefWindowProcW;
  parentClass.lpszClassName = u"NetworkFillBenchParent";
  RegisterClassW(&parentClass);
  shared->parent = CreateWindowExW(0, u"NetworkFillBenchParent", u"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1200, 1000,
                                   nullptr, nullptr, nullptr, nullptr);
  shared->backend = std::make_unique<TileServer>();
  shared->fronts[0] = std::make_unique<Http2Front>(shared->backend->Port(), false);
  shared->fronts[1] = std::make_unique<Http2Front>(shared->backend->Port(), true);
  // A first fill, untimed: the screen's tiles, kept for the decode floor.
  setenv("ORVAN_TILE_CA_FILE", shared->fronts[1]->CaFile().c_str(), 1);
  EmptyDiskCache();
  std::vector<std::pair<int32_t, int32_t>> tiles;
  std::string problem;
  OMMapView* view = NewView(*shared->fronts[1], &problem);
  if (problem.empty()) problem = Fill(view, &tiles);
  DropView(view);
  if (!problem.empty()) throw std::runtime_error("the first fill: " + problem);
  RawHttpConnection connection(shared->backend->Port());
  for (const auto& [x, y] : tiles) {
    connection.Send("GET /" + std::to_string(kLevel) + "/" + std::to_string(x) + "/" + std::to_string(y) +
                    ".png HTTP/1.1\r\nHost: " + shared->backend->HostPort() + "\r\n\r\n");
    RawHttpReply reply;
    if (connection.ReadOneResponse(20000, reply) != RawReadEnd::Complete || reply.status != 200)
      throw std::runtime_error("the tile server did not give a tile");
    shared->screenTiles.push_back(reply.body);
  }
}

void Delay(benchmark::State& state) {
  shared->backend->Reset();
  shared->backend->AddRule("delay=" + std::to_string(state.range(0)));
}

void BM_NetworkFill(benchmark::State& state) {
  Delay(state);
  const Http2Front& front = *shared->fronts[state.range(1)];
  setenv("ORVAN_TILE_CA_FILE", front.CaFile().c_str(), 1);
  const size_t connectionsBefore = front.Connections();
  std::string problem;
  for (auto _ : state) {
    state.PauseTiming();
    OMMapView* view = NewView(front, &problem);
    state.ResumeTiming();
    if (problem.empty()) problem = Fill(view);
    state.PauseTiming();
    DropView(view);
    state.ResumeTiming();
    if (!problem.empty()) break;
  }
  if (!problem.empty()) state.SkipWithError(problem.c_str());
  const double n = double(std::max<int64_t>(1, state.iterations()));
  state.counters["tiles"] = double(shared->screenTiles.size());
  state.counters["connections"] = double(front.Connections() - connectionsBefore) / n;
}
BENCHMARK(BM_NetworkFill)
    ->ArgsProduct({{50, 100, 200}, {1, 0}})
    ->ArgNames({"L", "http2"})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

void BM_NetworkFloor(benchmark::State& state) {
  Delay(state);
  const Http2Front& front = *shared->fronts[1];
  const std::string url = front.Origin() + "/" + std::to_string(kLevel) + "/0/0.png";
  std::string problem;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, front.CaFile().c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    long status = 0;
    if (curl_easy_perform(curl) != CURLE_OK) problem = "the floor's request failed";
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(curl);
    if (status != 200) problem = "the floor's request was answered " + std::to_string(status);
    const double requestSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    double slowestDecode = 0;
    for (const std::string& bytes : shared->screenTiles) {
      const Clock::time_point at = Clock::now();
      EncodedImage image;
      if (!image.Decode(reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(bytes.size())))
        problem = "a tile could not be decoded";
      slowestDecode = std::max(slowestDecode, std::chrono::duration<double>(Clock::now() - at).count());
    }
    state.SetIterationTime(requestSeconds + slowestDecode);
    if (!problem.empty()) break;
  }
  if (!problem.empty()) state.SkipWithError(problem.c_str());
}
BENCHMARK(BM_NetworkFloor)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->ArgName("L")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (const std::string why = Http2Front::Unavailable(); !why.empty()) {
    std::printf("bench_mapview_network: skipped: %s\n", why.c_str());
    return 0;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  try {
    Prepare();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_mapview_network: %s\n", e.what());
    delete shared;
    return 1;
  }
  std::vector<bench::Comparison> rows;
  for (const char* l : {"50", "100", "200"}) {
    const std::string floor = std::string("BM_NetworkFloor/L:") + l + "/iterations:5/manual_time";
    rows.push_back({std::string("BM_NetworkFill/L:") + l + "/http2:1/iterations:5/real_time", floor,
                    std::string("1024x768 fill over HTTP/2 (one connection), ") + l +
                        " ms a request, vs one request on a fresh TLS connection + the slowest decode",
                    1.3});
    rows.push_back({std::string("BM_NetworkFill/L:") + l + "/http2:0/iterations:5/real_time", floor,
                    std::string("the same fill over HTTP/1.1 (two connections), ") + l + " ms a request", 0});
  }
  bench::RunAndCompare(argc, argv, rows);
  delete shared;
  return 0;
}
