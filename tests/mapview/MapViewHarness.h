// What the map view tests share: the headless device screen, a parent window, the real tile server
// behind the proxy setting, a record of every event, and the pixels a correct control must show
// (the tile server's own rendering of a tile, the decoded placeholder tile).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "mapview/MapViewInternal.h"
#include "mapview/OMMapView.h"
#include "platform/kernel/Thread.h"
#include "platform/ui/DeviceScreen.h"
#include "platform/ui/Windows.h"
#include "tests/support/TileServerFixture.h"

constexpr uint32_t kBorderedChild = 0x50800000;  // WS_CHILD | WS_VISIBLE | WS_BORDER
constexpr uint32_t kWhiteRgb = 0xFFFFFF;

struct RecordedEvent {
  OMMapView* view;
  int32_t type;
  int32_t reserved1;
  int32_t reserved2;
  uint32_t userData;
  DWORD threadId;
};

// Every event of every control, in the order they fired (the handler is process-wide because the
// user data is a plain 32-bit value).
// A PNG of `width` x `height` straight-alpha RGBA bytes, encoded by libpng.
std::vector<uint8_t> EncodeRgbaPng(int32_t width, int32_t height, const std::vector<uint8_t>& rgba);

class EventRecord {
 public:
  static void Handler(OMMapView* view, int32_t type, int32_t r1, int32_t r2, uint32_t userData);
  static std::vector<RecordedEvent> All();
  static size_t Count(OMMapView* view, int32_t type);
  static void Clear();
};

struct TileId {
  int32_t x, y, z;
  auto operator<=>(const TileId&) const = default;
};

class MapViewTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  MapViewTest();
  ~MapViewTest() override;
  static DWORD FakeClock() { return fakeTicks; }

  // A control of `width` x `height` window pixels at (left, top) of the parent's client area.
  OMMapView* MakeView(int32_t left, int32_t top, int32_t width, int32_t height, uint32_t style = kBorderedChild);
  // The geographic position whose world pixel at `zoom` is (x, y).
  GeoPoint PositionOf(int32_t x, int32_t y, double zoom);
  // SetMap at the position of world pixel (x, y) with the test handler registered.
  void ShowAt(OMMapView* view, int32_t x, int32_t y, double zoom);

  // Dispatches queued messages (paints come last, when nothing else waits).
  void Pump();
  // Pumps until `done` holds; false when it did not within the bound (a hang, not a speed check).
  bool PumpUntil(const std::function<bool()>& done, int boundMs = 20000);
  // Pumps until every tile download of the view has ended and its report was painted.
  bool WaitForTiles(OMMapView* view);

  // The screen pixel (0x00RRGGBB) at the control's client point.
  uint32_t ClientPixel(OMMapView* view, int32_t x, int32_t y);
  // A map-layer pixel as 0x00RRGGBB; 0xFFFFFFFF outside the layer.
  static uint32_t LayerPixel(OMMapView* view, int32_t x, int32_t y);

  // The stylus, at client points of the control (or beyond it, where the control holds the
  // capture), delivered as the device delivers it. A stylus-down comes `afterMs` after the previous
  // one on the double tap's clock: by default a second, never a double tap.
  static constexpr DWORD kApartMs = 1000;
  void StylusDown(OMMapView* view, int32_t x, int32_t y, DWORD afterMs = kApartMs);
  void StylusMove(OMMapView* view, int32_t x, int32_t y);
  void StylusUp(OMMapView* view, int32_t x, int32_t y);
  void Drag(OMMapView* view, int32_t fromX, int32_t fromY, int32_t toX, int32_t toY);

  // Tile requests in the server's log (tile requests only, each once per request).
  std::vector<TileId> Requested();
  std::set<TileId> RequestedSet();

  // What the window must show at world pixel (wx, wy) at a level: the tile's own pixel, or where
  // that is white (the colour key), the placeholder's pixel at the layer point (lx, ly).
  uint32_t TilePixel(int32_t wx, int32_t wy, int32_t z);
  static uint32_t PlaceholderPixel(int32_t lx, int32_t ly);
  uint32_t ExpectedPixel(int32_t wx, int32_t wy, int32_t z, int32_t lx, int32_t ly);
  // Compares the window with what a correct control shows for display offset (ox, oy), over a grid
  // of client points; returns how many differ (and reports the first few).
  int MismatchesOnScreen(OMMapView* view, int32_t ox = 0, int32_t oy = 0, int step = 7);

  TileServer server;
  ProxyEnvironment proxy{server};
  HWND parent = nullptr;
  std::vector<OMMapView*> views;
  DWORD guiThread = GetCurrentThreadId();
  // The double tap's clock; only StylusDown moves it, by the time it is given.
  static inline DWORD fakeTicks = 100000;

 private:
  std::map<TileId, std::vector<uint8_t>> renderedTiles_;
  std::map<TileId, std::pair<int, int>> tileHosts_;  // kind (0 world, 1 regional), server number
};
