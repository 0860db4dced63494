// The cost of drawing a 256 x 256 tile the way the map view does (a factory per image, an image
// from the downloaded bytes, a 1:1 draw into a memory surface, releases) beside a bare libspng
// decode of the same bytes to RGBA8, for a palette tile and an RGB tile made here.
#include <png.h>
#include <spng.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "bench/BenchRatio.h"
#include "platform/gfx/Gdi.h"
#include "platform/imaging/Imaging.h"

namespace {

constexpr int kTile = 256;

using Bytes = std::vector<unsigned char>;

// A map-like tile: a light ground, blocks of park and buildings, white roads with soft edges,
// and small dark marks standing in for labels.
std::vector<uint32_t> MapTile(bool softEdges) {
  std::vector<uint32_t> pixels(kTile * kTile);
  uint32_t noise = 2463534242u;
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      uint32_t p = 0xE8E4D8;
      if ((x / 32 + y / 24) % 4 == 0) p = 0xC8DCB0;
      if ((x / 20 * 3 + y / 28) % 7 == 1) p = 0xD9D0C9;
      const int road = std::min(std::abs(x % 64 - 32), std::abs((x + y) % 96 - 48));
      if (road < 4) p = 0xFFFFFF;
      else if (road == 4) p = softEdges ? 0xF0EEE8 : 0xB8B0A8;
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      if (y % 40 > 30 && y % 40 < 38 && x % 50 < 30 && noise % 3 == 0) p = 0x404040 + (noise % 4) * 0x101010;
      pixels[y * kTile + x] = p;
    }
  }
  return pixels;
}

void Append(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}
[[noreturn]] void Fail(png_structp, png_const_charp message) { throw std::runtime_error(message); }

// 8-bit palette when `palette`, otherwise 8-bit RGB.
Bytes EncodeTile(const std::vector<uint32_t>& pixels, bool palette) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, NoFlush);
  std::vector<uint32_t> colours;
  std::vector<std::vector<png_byte>> rows(kTile);
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      const uint32_t p = pixels[y * kTile + x];
      if (palette) {
        size_t index = 0;
        while (index < colours.size() && colours[index] != p) ++index;
        if (index == colours.size()) colours.push_back(p);
        rows[y].push_back(png_byte(index));
      } else {
        rows[y].insert(rows[y].end(), {png_byte(p >> 16), png_byte(p >> 8), png_byte(p)});
      }
    }
  }
  png_set_IHDR(png, info, kTile, kTile, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> entries;
  for (uint32_t c : colours) entries.push_back(png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)});
  if (palette) png_set_PLTE(png, info, entries.data(), int(entries.size()));
  png_write_info(png, info);
  for (auto& row : rows) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

const Bytes& PaletteTile() {
  static const Bytes bytes = EncodeTile(MapTile(false), true);
  return bytes;
}
const Bytes& RgbTile() {
  static const Bytes bytes = EncodeTile(MapTile(true), false);
  return bytes;
}

// A memory surface like one of the map view's layers.
struct Layer {
  Layer() : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(dc, 512, 512)) {
    old = SelectObject(dc, bitmap);
  }
  ~Layer() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

void DrawThroughFactory(benchmark::State& state, const Bytes& bytes) {
  Layer layer;
  const RECT dest = {256, 0, 512, 256};
  for (auto _ : state) {
    IImagingFactory* factory = nullptr;
    IImage* image = nullptr;
    if (CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                         reinterpret_cast<void**>(&factory)) != S_OK ||
        factory->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()), BufferDisposalFlagNone, &image) != S_OK ||
        image->Draw(layer.dc, &dest, nullptr) != S_OK) {
      state.SkipWithError("drawing the tile failed");
      break;
    }
    image->Release();
    factory->Release();
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(bytes.size()) + " bytes");
}

// The bare decode: a context, the buffer, the size, an output buffer, RGBA8 with transparency.
void BareSpngDecode(benchmark::State& state, const Bytes& bytes) {
  for (auto _ : state) {
    spng_ctx* ctx = spng_ctx_new(0);
    size_t size = 0;
    spng_set_png_buffer(ctx, bytes.data(), bytes.size());
    spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
    auto* out = static_cast<unsigned char*>(std::malloc(size));
    if (spng_decode_image(ctx, out, size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) {
      state.SkipWithError("spng decode failed");
    }
    benchmark::DoNotOptimize(out[size / 2]);
    std::free(out);
    spng_ctx_free(ctx);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_FactoryDrawPaletteTile(benchmark::State& state) { DrawThroughFactory(state, PaletteTile()); }
void BM_BareSpngPaletteTile(benchmark::State& state) { BareSpngDecode(state, PaletteTile()); }
void BM_FactoryDrawRgbTile(benchmark::State& state) { DrawThroughFactory(state, RgbTile()); }
void BM_BareSpngRgbTile(benchmark::State& state) { BareSpngDecode(state, RgbTile()); }

BENCHMARK(BM_FactoryDrawPaletteTile)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_BareSpngPaletteTile)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_FactoryDrawRgbTile)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_BareSpngRgbTile)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

int main(int argc, char** argv) {
  // Interleave the measured and baseline repetitions so that load from other processes falls on
  // both alike; an explicit flag on the command line still wins.
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = int(args.size());
  return bench::RunAndCompare(count, args.data(),
                              {{"BM_FactoryDrawPaletteTile/repeats:5_mean", "BM_BareSpngPaletteTile/repeats:5_mean",
                                "tiles/s through factory + draw 1:1 vs bare libspng decode (palette tile)", 0.8, true},
                               {"BM_FactoryDrawRgbTile/repeats:5_mean", "BM_BareSpngRgbTile/repeats:5_mean",
                                "tiles/s through factory + draw 1:1 vs bare libspng decode (RGB tile)", 0.8, true}});
}
