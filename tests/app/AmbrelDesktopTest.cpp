// The real ambrel program in a desktop window (SDL backend) on a private X display, used as a
// person would: a mouse click on "Zoom Out", a look at the window, a click on the "OK" soft key.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

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

// Ambrel on the SDL display of `display`. SDL unloads its X11 libraries at exit, leaving blocks the
// leak checker cannot attribute: no leak check for these runs (address checks stay on; the headless
// suite checks Ambrel's leaks).
Settings DesktopSettings(const VirtualDisplay& display) {
  return Settings{{"ORVAN_BACKEND", "sdl"},
                  {"DISPLAY", display.Name()},
                  {"ORVAN_SCALE", std::to_string(kScale)},
                  {"ORVAN_INPUT", ""},
                  {"ASAN_OPTIONS", "detect_leaks=0:halt_on_error=1"}};
}

// The program's desktop window, once it has one (0 if it never shows one).
unsigned long WaitForWindow(VirtualDisplay& display, const AmbrelProcess& app) {
  unsigned long window = 0;
  WaitUntil([&] { return (window = display.WindowOfProcess(app.Pid())) != 0; }, AmbrelProcess::kStartTimeoutMs);
  return window;
}

TEST(AmbrelDesktop, ClickOnZoomOutDrawsTheNewTilesAndTheOkSoftKeyCloses) {
  if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/setup.sh installs them)";
  VirtualDisplay display(kScreenWidth * kScale + 40, kScreenHeight * kScale + 40);
  TileServer server;
  ProxyEnvironment proxy(server);
  AmbrelProcess app(DesktopSettings(display));

  const std::set<Tile> home = TilesCovering(kHomeLatitude, kHomeLongitude, 17);
  ASSERT_TRUE(app.WaitForLines("OMEventTypeMapLoaded", home.size())) << app.Stderr();
  const unsigned long window = WaitForWindow(display, app);
  ASSERT_NE(window, 0u);
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
  // Held still a moment before the release (a release while moving would flick the map on).
  mouse(nullptr, kMapCentre.x * kScale, kScreenHeight * kScale + 15);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
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

// The desktop's habits, as a person at a desktop would use them: the wheel over a point of the map
// zooms out around that point (the tiles asked for are those that keep it under the pointer); an
// arrow key pans the focused map by a quarter of it; a fast drag released while moving glides on
// further than the drag and then stops; + zooms in and Home returns to the start; and a resized
// desktop window gives a device screen of the new size, with the map laid out again to fill it.
TEST(AmbrelDesktop, WheelZoomsAroundThePointerArrowsPanAFlickGlidesAndStopsAResizeRelaysTheMap) {
  if (!VirtualDisplay::Available()) GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/setup.sh installs them)";
  constexpr int kWideWidth = 320, kWideHeight = 400;  // the device screen after the resize
  VirtualDisplay display(kWideWidth * kScale + 40, kWideHeight * kScale + 40);
  TileServer server;
  ProxyEnvironment proxy(server);
  AmbrelProcess app(DesktopSettings(display));
  const std::set<Tile> home = TilesCovering(kHomeLatitude, kHomeLongitude, 17);
  ASSERT_TRUE(app.WaitForLines("OMEventTypeMapLoaded", home.size())) << app.Stderr();
  const unsigned long window = WaitForWindow(display, app);
  ASSERT_NE(window, 0u);
  const std::string id = std::to_string(window);
  auto capture = [&] {
    Capture c;
    c.pixels = display.Capture(window, &c.width, &c.height);
    return c;
  };
  // Once nothing more is asked for and two looks a moment apart agree (a glide may leave downloads
  // cancelled, so loaded tiles need not match requests).
  auto settled = [&] {
    Capture shown;
    size_t asked = 0;
    const bool still = WaitUntil(
        [&] {
          const size_t now = server.Log().size();
          const bool quiet = now == asked;
          asked = now;
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          Capture previous = std::move(shown);
          shown = capture();
          return quiet && previous.width > 0 && previous.width == shown.width && previous.pixels == shown.pixels;
        },
        AmbrelProcess::kStartTimeoutMs);
    EXPECT_TRUE(still) << app.Stderr();
    return shown;
  };
  auto move = [&](int x, int y) {
    display.Xdotool({"mousemove", "--window", id, std::to_string(x * kScale), std::to_string(y * kScale)});
  };
  const Capture first = settled();

  // The wheel, one notch towards the user over the map's lower left: zoom 16 around that point.
  const Point pointer{20, 240};
  const int64_t fromCentreX = pointer.x - 1 - kMapClientWidth / 2;
  const int64_t fromCentreY = pointer.y - kMapTop - 1 - kMapClientHeight / 2;
  const auto [x17, y17] = WorldPixel(kHomeLatitude, kHomeLongitude, 17);
  const int64_t centreX = (x17 + fromCentreX) / 2 - fromCentreX, centreY = (y17 + fromCentreY) / 2 - fromCentreY;
  auto tilesAround = [](int64_t cx, int64_t cy, int width, int height) {
    std::set<Tile> tiles;
    for (int64_t x = (cx - width / 2) / 256; x <= (cx + width / 2) / 256; ++x)
      for (int64_t y = (cy - height / 2) / 256; y <= (cy + height / 2) / 256; ++y) tiles.insert({x, y, 16});
    return tiles;
  };
  const std::set<Tile> aroundPointer = tilesAround(centreX, centreY, kMapClientWidth, kMapClientHeight);
  ASSERT_NE(aroundPointer, TilesCovering(kHomeLatitude, kHomeLongitude, 16));  // the point tells them apart
  move(pointer.x, pointer.y);
  display.Xdotool({"click", "5"});
  ASSERT_TRUE(WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 16) == aroundPointer; },
                        AmbrelProcess::kStartTimeoutMs))
      << app.Stderr();
  const Capture zoomed = settled();

  // The right arrow: the focused map moves left by a quarter of its width.
  display.Xdotool({"windowfocus", "--sync", id});
  display.Xdotool({"key", "Right"});
  const int quarter = kMapClientWidth / 4 * kScale;
  Capture panned;
  auto shiftedDifferences = [&](const Capture& before, const Capture& after, int dx, int dy) {
    int n = 0;
    for (int y = (kMapTop + 1) * kScale; y < (kMapBottom - 1) * kScale; ++y)
      for (int x = kScale; x < (kScreenWidth - 1) * kScale; ++x) {
        const int bx = x + dx, by = y + dy;
        if (bx < kScale || bx >= (kScreenWidth - 1) * kScale || by < (kMapTop + 1) * kScale ||
            by >= (kMapBottom - 1) * kScale)
          continue;
        n += (before.pixels[size_t(y) * before.width + x] == kRegionalBackground) !=
             (after.pixels[size_t(by) * after.width + bx] == kRegionalBackground);
      }
    return n;
  };
  EXPECT_TRUE(WaitUntil(
      [&] {
        panned = capture();
        return panned.width == zoomed.width && shiftedDifferences(zoomed, panned, -quarter, 0) == 0 &&
               panned.DifferingMapPixels(zoomed) > 1000;
      },
      AmbrelProcess::kStartTimeoutMs))
      << shiftedDifferences(zoomed, panned, -quarter, 0) << " pixels differ from the picture moved a quarter left";
  const int64_t pannedX = centreX + kMapClientWidth / 4;
  settled();

  // A flick upwards: 100 pixels in 50 milliseconds, released while moving. The map glides on past
  // the drag (tiles further down are asked for than the drag alone uncovers), then stops.
  constexpr int kDrag = 100;
  std::vector<std::string> flick{"mousemove", "--window", id, std::to_string(kMapCentre.x * kScale),
                                 std::to_string((kMapCentre.y + kDrag / 2) * kScale), "mousedown", "1"};
  for (int step = 1; step <= 5; ++step) {
    for (const std::string& word : {std::string("sleep"), std::string("0.01"), std::string("mousemove"),
                                    std::string("--window"), id, std::to_string(kMapCentre.x * kScale),
                                    std::to_string((kMapCentre.y + kDrag / 2 - step * kDrag / 5) * kScale)})
      flick.push_back(word);
  }
  flick.insert(flick.end(), {"mouseup", "1"});
  display.Xdotool(flick);
  int64_t lowestRow = 0;
  const int64_t dragOnlyRow = (centreY + kDrag + kMapClientHeight / 2) / 256;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (const Tile& t : AtZoom(TilesAskedFor(server.Log()), 16))
          if (t.x >= (pannedX - kMapClientWidth / 2) / 256) lowestRow = std::max(lowestRow, t.y);
        return lowestRow > dragOnlyRow;
      },
      AmbrelProcess::kStartTimeoutMs))
      << "the lowest row asked for is " << lowestRow << ", the drag alone reaches row " << dragOnlyRow << "\n"
      << app.Stderr();
  // Stopped: everything asked for drawn, and two pictures a second apart equal.
  const Capture glided = settled();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const Capture later = capture();
  EXPECT_TRUE(later.width == glided.width && later.pixels == glided.pixels) << "the map still moves after the glide: " << later.width << " " << glided.width << " " << glided.DifferingMapPixels(later);

  // The keys on the focused map: + zooms in at the centre (level 17 tiles are asked for there), and
  // Home brings back the position the program set at start: the first picture again.
  display.Xdotool({"windowfocus", "--sync", id});
  const size_t asked17 = AtZoom(TilesAskedFor(server.Log()), 17).size();
  display.Xdotool({"key", "KP_Add"});
  ASSERT_TRUE(WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 17).size() > asked17; },
                        AmbrelProcess::kStartTimeoutMs))
      << app.Stderr();
  settled();
  display.Xdotool({"key", "Home"});
  Capture homeAgain;
  EXPECT_TRUE(WaitUntil(
      [&] {
        homeAgain = capture();
        return homeAgain.width == first.width && shiftedDifferences(first, homeAgain, 0, 0) == 0;
      },
      AmbrelProcess::kStartTimeoutMs))
      << shiftedDifferences(first, homeAgain, 0, 0) << " pixels differ from the first picture after Home";

  // The desktop window made larger: the device screen takes its size (divided by the scale), and
  // the map view fills the new width, tiles and all.
  // (Moved to the display's corner first: a window reaching past the display cannot be read.)
  display.Xdotool({"windowmove", "--sync", id, "0", "0"});
  display.Xdotool({"windowsize", "--sync", id, std::to_string(kWideWidth * kScale), std::to_string(kWideHeight * kScale)});
  Capture wide;
  const int wideMapBottom = kWideHeight - 70;  // the layout leaves 70 rows under the map
  auto rightOfOldWidth = [&](const Capture& c) {
    int n = 0;
    for (int y = (kMapTop + 40) * kScale; y < (wideMapBottom - 2) * kScale && y < c.height; ++y)
      for (int x = (kScreenWidth + 5) * kScale; x < (kWideWidth - 2) * kScale && x < c.width; ++x)
        n += c.pixels[size_t(y) * c.width + x] == kRegionalBackground ? 1 : 0;
    return n;
  };
  EXPECT_TRUE(WaitUntil(
      [&] {
        wide = capture();
        return wide.width == kWideWidth * kScale && wide.height == kWideHeight * kScale && rightOfOldWidth(wide) > 2000;
      },
      AmbrelProcess::kStartTimeoutMs))
      << wide.width << "x" << wide.height << ", " << rightOfOldWidth(wide)
      << " map pixels right of the old width: " << app.Stderr();
  // The map keeps its centre: the old picture shows again around the new view's centre (client
  // centre (119, 111) then, (159, 147) now, the task bar 34 high), within a pixel of rounding.
  const int wideTop = kTaskBar * kWideWidth / kScreenWidth;
  const int moveX = (159 - 119) * kScale, moveY = (wideTop + 147 - (kMapTop + 111)) * kScale;
  auto centredDifferences = [&](const Capture& after, int dx, int dy) {
    int n = 0;
    for (int y = (kMapTop + 1) * kScale; y < (kMapBottom - 1) * kScale; ++y)
      for (int x = kScale; x < (kScreenWidth - 1) * kScale; ++x)
        n += (homeAgain.pixels[size_t(y) * homeAgain.width + x] == kRegionalBackground) !=
             (after.pixels[size_t(y + moveY + dy) * after.width + x + moveX + dx] == kRegionalBackground);
    return n;
  };
  int fewest = -1;
  EXPECT_TRUE(WaitUntil(
      [&] {
        wide = capture();
        if (wide.width != kWideWidth * kScale || wide.height != kWideHeight * kScale) return false;
        fewest = -1;
        for (int dy = -kScale; dy <= kScale; dy += kScale)
          for (int dx = -kScale; dx <= kScale; dx += kScale) {
            const int n = centredDifferences(wide, dx, dy);
            if (fewest < 0 || n < fewest) fewest = n;
          }
        return fewest == 0;
      },
      AmbrelProcess::kStartTimeoutMs))
      << fewest << " map pixels differ from the picture before the resize, moved to the new centre";

  display.Xdotool({"key", "ctrl+q"});
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
}

}  // namespace
