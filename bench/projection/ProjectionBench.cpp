// Per-call cost of the conversions and of the URL rule, beside the bare arithmetic and a plain
// snprintf of the same URL.
#include <cmath>
#include <cstdio>

#include "bench/BenchRatio.h"
#include "projection/MercatorProjection.h"

namespace {

MercatorProjection projection;
MapProjection& iface = projection;

void BM_LatLonToPixel(benchmark::State& state) {
  double lat = 37.433446, lon = 127.173493;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lat);
    benchmark::DoNotOptimize(lon);
    benchmark::DoNotOptimize(iface.LatLonToPixel(lat, lon, 17.0));
  }
}
BENCHMARK(BM_LatLonToPixel);

// The bare work of the conversion: one sine, one logarithm, two floors, no tables or checks.
void BM_BaselineSinLog(benchmark::State& state) {
  double lat = 37.433446, lon = 127.173493;
  const double ppd = 16777216.0 * 2 / 360, ppr = 16777216.0 * 2 / (2 * M_PI), c = 16777216.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(lat);
    benchmark::DoNotOptimize(lon);
    const double s = std::sin(lat * 0.017453292519943295);
    const int x = static_cast<int>(std::floor(lon * ppd + c + 0.5));
    const int y = static_cast<int>(std::floor(-ppr * std::log((1 + s) / (1 - s)) * 0.5 + c + 0.5));
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
  }
}
BENCHMARK(BM_BaselineSinLog);

void BM_PixelToLatLon(benchmark::State& state) {
  int x = 27911563, y = 12700516;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
    benchmark::DoNotOptimize(iface.PixelToLatLon(x, y, 17.0));
  }
}
BENCHMARK(BM_PixelToLatLon);

void BM_BaselineAtanExp(benchmark::State& state) {
  int x = 27911563, y = 12700516;
  const double ppd = 16777216.0 * 2 / 360, ppr = 16777216.0 * 2 / (2 * M_PI), c = 16777216.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
    const double lon = (x - c) / ppd;
    const double lat = (2.0 * std::atan(std::exp((y - c) / -ppr)) - M_PI / 2) * (180 / M_PI);
    benchmark::DoNotOptimize(lon);
    benchmark::DoNotOptimize(lat);
  }
}
BENCHMARK(BM_BaselineAtanExp);

void BM_BuildTileUrl(benchmark::State& state) {
  char16_t buffer[1024];
  int x = 111555, y = 50683;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    iface.BuildTileUrl(x, y, 17.0, buffer, 1024);
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_BuildTileUrl);

void BM_BaselineSnprintfUrl(benchmark::State& state) {
  char buffer[1024];
  int x = 111555, y = 50683;
  for (auto _ : state) {
    benchmark::DoNotOptimize(x);
    std::snprintf(buffer, sizeof buffer, "http://%s%d.regional-tiles.orvanmap.test/%s?v=%s&hl=%s&x=%d&y=%d&z=%d", "mt",
                  (x + 2 * y) % 4, "mt", "kr1.9", "ko", x, y, 17);
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_BaselineSnprintfUrl);

}  // namespace

int main(int argc, char** argv) {
  return bench::RunAndCompare(
      argc, argv,
      {{"BM_LatLonToPixel", "BM_BaselineSinLog", "time per call vs bare sine/log arithmetic", 0},
       {"BM_PixelToLatLon", "BM_BaselineAtanExp", "time per call vs bare atan/exp arithmetic", 0},
       {"BM_BuildTileUrl", "BM_BaselineSnprintfUrl", "time per call vs snprintf of the same URL", 0}});
}
