#include "tests/mapview/MapViewHarness.h"

#include <png.h>

#include <chrono>
#include <thread>

#include "platform/kernel/Time.h"
#include "tools/tileserver/TileAddress.h"
#include "tools/tileserver/TileRenderer.h"

namespace {

std::mutex eventMutex;
std::vector<RecordedEvent> events;

constexpr const WCHAR* kParentClass = u"MapViewTestParent";

uint32_t RgbOfColorref(COLORREF c) {
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

}  // namespace

void EventRecord::Handler(OMMapView* view, int32_t type, int32_t r1, int32_t r2, uint32_t userData) {
  std::lock_guard<std::mutex> guard(eventMutex);
  events.push_back({view, type, r1, r2, userData, GetCurrentThreadId()});
}

std::vector<RecordedEvent> EventRecord::All() {
  std::lock_guard<std::mutex> guard(eventMutex);
  return events;
}

size_t EventRecord::Count(OMMapView* view, int32_t type) {
  std::lock_guard<std::mutex> guard(eventMutex);
  size_t n = 0;
  for (const auto& e : events) n += e.view == view && e.type == type;
  return n;
}

void EventRecord::Clear() {
  std::lock_guard<std::mutex> guard(eventMutex);
  events.clear();
}

void MapViewTest::SetUpTestSuite() {
  static const bool started = StartDeviceScreenWith(DeviceScreenConfig{"headless", 480, 640, 1}) != FALSE;
  ASSERT_TRUE(started || StartDeviceScreen());
  WNDCLASSW parentClass{};
  parentClass.lpfnWndProc = DefWindowProcW;
  parentClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  parentClass.lpszClassName = kParentClass;
  RegisterClassW(&parentClass);
}

MapViewTest::MapViewTest() {
  EventRecord::Clear();
  tapClock = FakeClock;
  lastTapTime = 0;
  const RECT area = WorkArea();
  parent = CreateWindowExW(0, kParentClass, u"Map view test", WS_POPUP | WS_VISIBLE, area.left, area.top,
                           area.right - area.left, area.bottom - area.top - MenuBarHeight(), nullptr, nullptr, nullptr,
                           nullptr);
  Pump();
}

MapViewTest::~MapViewTest() {
  tapClock = GetTickCount;
  for (OMMapView* view : views) OMMapViewDestroy(view);
  if (parent != nullptr) DestroyWindow(parent);
  Pump();
}

OMMapView* MapViewTest::MakeView(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t style) {
  OMMapView* view = OMMapViewCreate(style, left, top, left + width, top + height, parent, nullptr);
  if (view != nullptr) views.push_back(view);
  return view;
}

GeoPoint MapViewTest::PositionOf(int32_t x, int32_t y, double zoom) {
  MercatorProjection projection;
  return projection.PixelToLatLon(x, y, zoom);
}

void MapViewTest::ShowAt(OMMapView* view, int32_t x, int32_t y, double zoom) {
  OMMapViewSetEventHandler(view, EventRecord::Handler, 10);
  const GeoPoint at = PositionOf(x, y, zoom);
  ASSERT_EQ(OMMapViewSetMap(view, 1, at.latitude, at.longitude, zoom), 1);
  ASSERT_EQ(view->centerX, x);
  ASSERT_EQ(view->centerY, y);
}

void MapViewTest::Pump() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool MapViewTest::PumpUntil(const std::function<bool()>& done, int boundMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
  while (true) {
    Pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

bool MapViewTest::WaitForTiles(OMMapView* view) {
  const bool idle = PumpUntil([&] {
    for (Tile* tile : view->tileLayer.cache.order) {
      if (tile->Downloading()) return false;
    }
    return true;
  });
  Pump();  // the last tiles' invalidation
  return idle;
}

uint32_t MapViewTest::ClientPixel(OMMapView* view, int32_t x, int32_t y) {
  POINT p{x, y};
  ClientToScreen(view->window, &p);
  return ScreenPixel(p.x, p.y);
}

uint32_t MapViewTest::LayerPixel(OMMapView* view, int32_t x, int32_t y) {
  CriticalSectionLock guard(&view->lock);
  const COLORREF c = GetPixel(view->mapDC, x, y);
  return c == CLR_INVALID ? 0xFFFFFFFFu : RgbOfColorref(c);
}

void MapViewTest::StylusDown(OMMapView* view, int32_t x, int32_t y, DWORD afterMs) {
  fakeTicks += afterMs;
  POINT p{x, y};
  ClientToScreen(view->window, &p);
  InjectStylusDown(p.x, p.y);
  Pump();
}

void MapViewTest::StylusMove(OMMapView* view, int32_t x, int32_t y) {
  POINT p{x, y};
  ClientToScreen(view->window, &p);
  InjectStylusMove(p.x, p.y);
  Pump();
}

void MapViewTest::StylusUp(OMMapView* view, int32_t x, int32_t y) {
  POINT p{x, y};
  ClientToScreen(view->window, &p);
  InjectStylusUp(p.x, p.y);
  Pump();
}

void MapViewTest::Drag(OMMapView* view, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY) {
  StylusDown(view, fromX, fromY);
  StylusMove(view, (fromX + toX) / 2, (fromY + toY) / 2);
  StylusMove(view, toX, toY);
  StylusUp(view, toX, toY);
}

std::vector<TileId> MapViewTest::Requested() {
  std::vector<TileId> ids;
  for (const auto& entry : server.Log()) {
    const tileserver::TilePath path = tileserver::ParseTilePath(entry.path);
    if (path.status != tileserver::TilePathStatus::Ok) continue;
    const TileId id{path.x, path.y, path.z};
    ids.push_back(id);
    const tileserver::TileHost host = tileserver::ClassifyHost(entry.host);
    tileHosts_[id] = {host.kind == tileserver::HostKind::Regional ? 1 : 0, host.server};
  }
  return ids;
}

std::set<TileId> MapViewTest::RequestedSet() {
  const auto ids = Requested();
  return {ids.begin(), ids.end()};
}

uint32_t MapViewTest::TilePixel(int32_t wx, int32_t wy, int32_t z) {
  const TileId id{wx / 256, wy / 256, z};
  auto it = renderedTiles_.find(id);
  if (it == renderedTiles_.end()) {
    if (!tileHosts_.count(id)) Requested();
    const auto host = tileHosts_.count(id) ? tileHosts_[id] : std::pair<int, int>{0, 0};
    tileserver::TileKey key;
    key.kind = host.first == 1 ? tileserver::HostKind::Regional : tileserver::HostKind::World;
    key.server = host.second;
    key.x = id.x;
    key.y = id.y;
    key.z = id.z;
    it = renderedTiles_.emplace(id, tileserver::TileRenderer::Render(key)).first;
  }
  const size_t at = (size_t(wy % 256) * 256 + size_t(wx % 256)) * 3;
  return (uint32_t(it->second[at]) << 16) | (uint32_t(it->second[at + 1]) << 8) | it->second[at + 2];
}

uint32_t MapViewTest::PlaceholderPixel(int32_t lx, int32_t ly) {
  static const std::vector<uint32_t> pixels = [] {
    std::vector<uint32_t> out(256 * 256);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, 256, 256);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DrawImage(dc, 0, 0, 256, 256, PlaceholderImageBytes(), PlaceholderImageSize());
    for (int y = 0; y < 256; ++y)
      for (int x = 0; x < 256; ++x) out[size_t(y) * 256 + x] = RgbOfColorref(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return out;
  }();
  return pixels[size_t(((ly % 256) + 256) % 256) * 256 + size_t(((lx % 256) + 256) % 256)];
}

uint32_t MapViewTest::ExpectedPixel(int32_t wx, int32_t wy, int32_t z, int32_t lx, int32_t ly) {
  const uint32_t tile = TilePixel(wx, wy, z);
  return tile == kWhiteRgb ? PlaceholderPixel(lx, ly) : tile;
}

int MapViewTest::MismatchesOnScreen(OMMapView* view, int32_t ox, int32_t oy, int step) {
  // Each tile's last outcome. The server logs a request when its connection's thread reads it, so a
  // request the control gave up (cancelled to start it afresh) may be logged after the request
  // that replaced it: one the client closed stands for its tile only when nothing else does.
  std::map<TileId, std::string> outcome;
  for (const auto& entry : server.AnsweredLog()) {
    const tileserver::TilePath path = tileserver::ParseTilePath(entry.path);
    if (path.status != tileserver::TilePathStatus::Ok) continue;
    const TileId tile{path.x, path.y, path.z};
    if (entry.outcome.find("client-closed") == std::string::npos || outcome.count(tile) == 0)
      outcome[tile] = entry.outcome;
  }
  RECT client{};
  GetClientRect(view->window, &client);
  const PixelRect v = view->viewport, b = view->bufferRect;
  const int32_t z = ZoomLevelOf(view->zoom);
  const int32_t sx = v.left - b.left, sy = v.top - b.top;
  int mismatches = 0;
  for (int32_t y = 0; y < client.bottom; y += step) {
    for (int32_t x = 0; x < client.right; x += step) {
      // Layer point of the placeholder (never shifted) and of the shifted map layer.
      const int32_t lx = sx + x, ly = sy + y;
      // Beyond the layers (an odd client size) the window keeps whatever it had.
      if (lx >= b.right - b.left || ly >= b.bottom - b.top) continue;
      const int32_t wx = b.left + lx + ox, wy = b.top + ly + oy;
      const bool inMap = lx + ox >= 0 && lx + ox < b.right - b.left && ly + oy >= 0 && ly + oy < b.bottom - b.top;
      const auto it = outcome.find(TileId{wx / 256, wy / 256, z});
      const bool drawn = inMap && wx >= 0 && wy >= 0 && it != outcome.end() && it->second == "200 tile";
      const uint32_t expected = drawn ? ExpectedPixel(wx, wy, z, lx, ly) : PlaceholderPixel(lx, ly);
      const uint32_t shown = ClientPixel(view, x, y);
      if (shown != expected) {
        if (++mismatches <= 5)
          ADD_FAILURE() << "client (" << x << ", " << y << ") world (" << wx << ", " << wy << "): shows " << std::hex
                        << shown << ", expected " << expected << std::dec;
      }
    }
  }
  return mismatches;
}

std::vector<uint8_t> EncodeRgbaPng(int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  EXPECT_NE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr), 0);
  std::vector<uint8_t> png(size);
  EXPECT_NE(png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr), 0);
  png.resize(size);
  return png;
}
