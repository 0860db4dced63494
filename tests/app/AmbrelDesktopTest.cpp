// The real ambrel program in a desktop window (SDL backend) on a private X display, used as a
// person would: a mouse click on "Zoom Out", a look at the window, a click on the "OK" soft key.
#include <gtest/gtest.h>

#include "tests/app/AmbrelProcess.h"
#include "tests/app/AmbrelScene.h"
#include "tests/app/VirtualDisplay.h"
#include "tests/support/TileServerFixture.h"

using namespace scene;

namespace {

constexpr int kScale = 2;
constexpr uint32_t kRegionalBackground = 0xE2EEFA;  // (226, 238, 250)

struct Capture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  // Pixels of the device's map area (device coordinates scaled to the window) equal to `colour`.
  int MapPixels(uint32_t colour) const {
    int n = 0;
    for (int y = (kMapTop + 1) * kScale; y < (kMapBottom - 1) * kScale && y < height; ++y)
      for (int x = kScale; x < (kScreenWidth - 1) * kScale && x < width; ++x)
        n += pixels[static_cast<size_t>(y) * width + x] == colour ? 1 : 0;
    return n;
  }
  int DifferingMapPixels(const Capture& other) const {
    int n = 0;
    for (int y = (kMapTop + 1) * kScale; y < (kMapBottom - 1) * kScale && y < height; ++y)
      for (int x = kScale; x < (kScreenWidth - 1) * kScale && x < width; ++x)
        n += pixels[static_cast<size_t>(y) * width + x] == other.pixels[static_cast<size_t>(y) * width + x] ? 0 : 1;
    return n;
  }
};

TEST(AmbrelDesktop, ClickOnZoomOutDrawsTheNewTilesAndTheOkSoftKeyCloses) {
  if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/setup.sh installs them)";
  VirtualDisplay display(kScreenWidth * kScale + 40, kScreenHeight * kScale + 40);
  TileServer server;
  ProxyEnvironment proxy(server);
  // SDL unloads its X11 libraries at exit, leaving blocks the leak checker cannot attribute: no leak
  // check for this run (address checks stay on; the headless suite checks Ambrel's leaks).
  AmbrelProcess app(Settings{{"ORVAN_BACKEND", "sdl"},
                             {"DISPLAY", display.Name()},
                             {"ORVAN_SCALE", std::to_string(kScale)},
                             {"ORVAN_INPUT", ""},
                             {"ASAN_OPTIONS", "detect_leaks=0:halt_on_error=1"}});

  const std::set<Tile> home = TilesCovering(kHomeLatitude, kHomeLongitude, 17);
  ASSERT_TRUE(app.WaitForLines("OMEventTypeMapLoaded", home.size())) << app.Stderr();
  unsigned long window = 0;
  ASSERT_TRUE(
      WaitUntil([&] { return (window = display.WindowOfProcess(app.Pid())) != 0; }, AmbrelProcess::kStartTimeoutMs));
  const WindowGeometry geometry = display.Geometry(window);
  ASSERT_EQ(geometry.width, kScreenWidth * kScale);
  ASSERT_EQ(geometry.height, kScreenHeight * kScale);

  auto capture = [&] {
    Capture c;
    c.pixels = display.Capture(window, &c.width, &c.height);
    return c;
  };
  // The window shows the regional tiles once they are painted.
  Capture before;
  ASSERT_TRUE(WaitUntil([&] { return (before = capture()).MapPixels(kRegionalBackground) > 20000; },
                        AmbrelProcess::kStartTimeoutMs));

  auto click = [&](Point p) {
    display.Xdotool({"mousemove", "--window", std::to_string(window), std::to_string(p.x * kScale),
                     std::to_string(p.y * kScale), "click", "1"});
  };
  click(kZoomOut);
  const std::set<Tile> zoomedOut = TilesCovering(kHomeLatitude, kHomeLongitude, 16);
  ASSERT_TRUE(
      WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 16) == zoomedOut; }, AmbrelProcess::kStartTimeoutMs));
  ASSERT_TRUE(app.WaitForLines("OMEventTypeMapLoaded", home.size() + zoomedOut.size())) << app.Stderr();
  // The new tiles are drawn: the map area changes and still shows regional tiles.
  Capture after;
  ASSERT_TRUE(WaitUntil(
      [&] {
        after = capture();
        return after.DifferingMapPixels(before) > 5000 && after.MapPixels(kRegionalBackground) > 20000;
      },
      AmbrelProcess::kStartTimeoutMs));

  // A drag from the map to below the desktop window, released there: the map stays where the drag
  // took it. The next short drag inside the map then shifts that picture, not the one before the
  // first drag (compared where the tiles show their background: the placeholder grid shows through
  // their white and does not move with a drag).
  auto mouse = [&](const char* action, int x, int y) {
    display.Xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y)});
    if (action != nullptr) display.Xdotool({action, "1"});
  };
  const size_t askedBefore = server.Log().size();
  // From the map's top to below the window: longer than the layers reach, so tiles are fetched.
  mouse("mousedown", kMapCentre.x * kScale, (kMapTop + 5) * kScale);
  for (int y = kMapTop + 35; y < kScreenHeight; y += 30) mouse(nullptr, kMapCentre.x * kScale, y * kScale);
  mouse("mouseup", kMapCentre.x * kScale, kScreenHeight * kScale + 15);  // outside the window
  // The uncovered tiles come and are drawn; then nothing more is asked for, and the window stops
  // changing (a tile's event comes before the paint that shows it).
  Capture released;
  size_t asked = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const size_t now = server.Log().size();
        const bool settled = now > askedBefore && now == asked && app.CountLines("OMEventTypeMapLoaded") == now;
        asked = now;
        if (!settled) return false;
        const Capture previous = std::move(released);
        released = capture();
        return previous.width == released.width && previous.pixels == released.pixels;
      },
      AmbrelProcess::kStartTimeoutMs))
      << app.Stderr();
  mouse("mousedown", 60 * kScale, 100 * kScale);
  mouse(nullptr, 70 * kScale, 110 * kScale);
  Capture dragged;
  const int shift = 10 * kScale;
  auto shiftedDifferences = [&] {
    int n = 0;
    for (int y = (kMapTop + 1) * kScale; y < (kMapBottom - 1) * kScale - shift; ++y)
      for (int x = kScale; x < (kScreenWidth - 1) * kScale - shift; ++x)
        n += (dragged.pixels[size_t(y + shift) * dragged.width + x + shift] == kRegionalBackground) !=
             (released.pixels[size_t(y) * released.width + x] == kRegionalBackground);
    return n;
  };
  EXPECT_TRUE(WaitUntil([&] { return (dragged = capture()).width == released.width && shiftedDifferences() == 0; },
                        5000))
      << shiftedDifferences() << " pixels differ from the released picture shifted by the new drag";
  mouse("mouseup", 70 * kScale, 110 * kScale);

  click(Point{30, kMenuBarTop + kMenuBar / 2});
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
}

}  // namespace
