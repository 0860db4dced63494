// The real ambrel program, headless, against the real tile server: what it asks for, what it
// shows, what it writes to the debugger output, and how it answers its user.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "tests/app/AmbrelProcess.h"
#include "tests/app/AmbrelScene.h"
#include "tests/app/ScreenImage.h"
#include "tests/support/TileServerFixture.h"

using namespace scene;

namespace {

const std::string kWillLoad = "OMEventTypeMapWillLoad";
const std::string kLoaded = "OMEventTypeMapLoaded";
const std::string kWillDraw = "OMEventTypeMapWillDraw";
const std::string kDrawn = "OMEventTypeMapDrawn";

constexpr Rgb kRegionalBackground{226, 238, 250};
constexpr Rgb kWorldBackground{242, 238, 228};
constexpr Rgb kWhite{255, 255, 255};

bool IsDark(const Rgb& c) { return c.r + c.g + c.b < 3 * 110; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// True once `loads` tiles have been drawn and a paint has finished after the last of them: every
// tile drawn so far is on the screen.
bool PaintedAfterLoads(const AmbrelProcess& app, size_t loads) {
  size_t seen = 0;
  for (const std::string& line : Lines(app.Stderr())) {
    if (line == kLoaded) ++seen;
    if (seen >= loads && line == kDrawn) return true;
  }
  return false;
}

bool WaitForScreen(AmbrelProcess& app, size_t loads) {
  return WaitUntil([&] { return PaintedAfterLoads(app, loads) || !app.Running(); },
                   AmbrelProcess::kStartTimeoutMs) &&
         PaintedAfterLoads(app, loads);
}

std::vector<Tile> Sorted(std::vector<Tile> tiles) {
  std::sort(tiles.begin(), tiles.end());
  return tiles;
}

std::vector<Tile> Sorted(const std::set<Tile>& tiles) { return {tiles.begin(), tiles.end()}; }

std::string Tap(Point p) { return "tap " + std::to_string(p.x) + " " + std::to_string(p.y); }

class AmbrelHeadless : public ::testing::Test {
 protected:
  TileServer server;
  ProxyEnvironment proxy{server};
  const std::set<Tile> homeTiles = TilesCovering(kHomeLatitude, kHomeLongitude, 17);
};

TEST_F(AmbrelHeadless, FirstScreenAsksForTheTilesUnderTheMapAndShowsThemWithButtonsAndSoftKeys) {
  AmbrelProcess app;
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size())) << app.Stderr();

  // Exactly the tiles under the map view's client area, each once, from the regional server.
  const std::vector<TileServerLogEntry> log = server.Log();
  EXPECT_EQ(Sorted(TilesAskedFor(log)), Sorted(homeTiles));
  for (const TileServerLogEntry& entry : log) {
    EXPECT_TRUE(EndsWith(entry.host, kRegionalDomain)) << entry.host;
    EXPECT_EQ(entry.outcome, "200 tile");
  }

  const ScreenImage shot(app.Screenshot("first-screen"));
  ASSERT_EQ(shot.Width(), kScreenWidth);
  ASSERT_EQ(shot.Height(), kScreenHeight);
  // The map view: regional tiles, no world tiles, inside its border.
  const int mapArea = (kScreenWidth - 2) * (kMapBottom - kMapTop - 2);
  const int regional = shot.Count(1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 1,
                                  [](Rgb c) { return c == kRegionalBackground; });
  EXPECT_GT(regional, mapArea / 3);
  EXPECT_EQ(shot.Count(0, 0, kScreenWidth, kScreenHeight, [](Rgb c) { return c == kWorldBackground; }), 0);
  // Three buttons in a row under the map, each with its label: text in each third, no map.
  for (int i = 0; i < 3; ++i) {
    const int left = i * 80;
    EXPECT_GT(shot.Count(left + 4, kMapBottom + 4, left + 76, kButtonBottom - 4, IsDark), 10) << "button " << i;
  }
  EXPECT_EQ(shot.Count(0, kMapBottom, kScreenWidth, kButtonBottom,
                       [](Rgb c) { return c == kRegionalBackground; }),
            0);
  // Below the buttons the main window's white background, down to the soft-key bar.
  EXPECT_EQ(shot.Count(0, kButtonBottom + 1, kScreenWidth, kMenuBarTop, [](Rgb c) { return !(c == kWhite); }), 0);
  // The soft-key bar along the bottom with its two labels, left and right.
  EXPECT_GT(shot.Count(0, kMenuBarTop, kScreenWidth / 2, kScreenHeight, [](Rgb c) { return !(c == kWhite); }), 0);
  EXPECT_GT(shot.Count(0, kMenuBarTop, kScreenWidth, kScreenHeight, [](Rgb c) { return c == kWhite; }) +
                shot.Count(0, kMenuBarTop, kScreenWidth, kScreenHeight, IsDark),
            20);

  // Ctrl+Q ends the program normally.
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);

  // The debugger output: only the four names, each a whole line, in matching pairs.
  size_t counts[4] = {};
  for (const std::string& line : Lines(app.Stderr())) {
    if (line.rfind("OMEvent", 0) != 0) continue;
    const std::string names[4] = {kWillLoad, kLoaded, kWillDraw, kDrawn};
    const auto found = std::find(std::begin(names), std::end(names), line);
    ASSERT_NE(found, std::end(names)) << "unexpected line: " << line;
    ++counts[found - std::begin(names)];
  }
  EXPECT_EQ(counts[0], homeTiles.size());
  EXPECT_EQ(counts[1], homeTiles.size());
  EXPECT_GE(counts[2], 1u);
  EXPECT_EQ(counts[2], counts[3]);
}

TEST_F(AmbrelHeadless, ZoomInAtTheUpperLimitAsksForNothingWhileZoomOutStillWorks) {
  AmbrelProcess app;
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size())) << app.Stderr();
  const ScreenImage before(app.Screenshot("at-17"));

  // Taps are handled in order: once Zoom Out's tiles arrive, Zoom In has been handled before it.
  app.Input(Tap(kZoomIn));
  app.Input(Tap(kZoomOut));
  const std::set<Tile> zoomedOut = TilesCovering(kHomeLatitude, kHomeLongitude, 16);
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size() + zoomedOut.size())) << app.Stderr();

  const std::vector<Tile> asked = TilesAskedFor(server.Log());
  EXPECT_EQ(AtZoom(asked, 18), std::set<Tile>{});
  EXPECT_EQ(asked.size(), homeTiles.size() + zoomedOut.size());
  EXPECT_EQ(AtZoom(asked, 16), zoomedOut);
  EXPECT_EQ(app.CountLines(kLoaded), homeTiles.size() + zoomedOut.size());
  const ScreenImage after(app.Screenshot("at-16"));
  EXPECT_GT(before.Differences(after, 1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 1), 1000);

  // The left soft key, "OK", closes the program as Ctrl+Q does.
  app.Input("tap 30 " + std::to_string(kMenuBarTop + kMenuBar / 2));
  ASSERT_EQ(app.WaitForExit(), 0);
}

TEST_F(AmbrelHeadless, HomeButtonMovesTheCentreAtTheCurrentZoomThenZoomsToSix) {
  AmbrelProcess app;
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size())) << app.Stderr();

  app.Input(Tap(kHome));
  // First position change: the centre, at zoom 17, whose tiles are held and drawn again at once.
  // Second: zoom 6, whose tiles come from the world server.
  const std::set<Tile> atSix = TilesCovering(kHomeLatitude, kHomeLongitude, 6);
  ASSERT_TRUE(WaitForScreen(app, 2 * homeTiles.size() + atSix.size())) << app.Stderr();

  const std::vector<TileServerLogEntry> log = server.Log();
  EXPECT_EQ(Sorted(TilesAskedFor(log)), Sorted([&] {
              std::vector<Tile> all(homeTiles.begin(), homeTiles.end());
              all.insert(all.end(), atSix.begin(), atSix.end());
              return all;
            }()));
  for (const TileServerLogEntry& entry : log) {
    if (TileOf(entry).z == 6) {
      EXPECT_TRUE(EndsWith(entry.host, kWorldDomain)) << entry.host;
    }
  }
  EXPECT_EQ(app.CountLines(kLoaded), 2 * homeTiles.size() + atSix.size());

  const ScreenImage shot(app.Screenshot("zoom-6"));
  EXPECT_GT(shot.Count(1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 1, [](Rgb c) { return c == kWorldBackground; }),
            1000);
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

// The About dialog covers the screen below the task bar and shows the program's icon, whose pin is
// the only red on Ambrel's screens.
bool ShowsAboutDialog(const ScreenImage& shot) {
  const int mapPixels =
      shot.Count(0, kMapTop, kScreenWidth, kMapBottom, [](Rgb c) { return c == kRegionalBackground; });
  const int pinPixels = shot.Count(0, kTaskBar, kScreenWidth, kScreenHeight,
                                   [](Rgb c) { return c.r > 180 && c.g < 90 && c.b < 90; });
  return mapPixels == 0 && pinPixels > 4;
}

TEST_F(AmbrelHeadless, CtrlAOpensTheAboutDialogAndTheProgramRunsOnAfterIt) {
  AmbrelProcess app;
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size())) << app.Stderr();
  EXPECT_FALSE(ShowsAboutDialog(ScreenImage(app.Screenshot("map"))));

  app.Input("key ctrl+a");
  ASSERT_TRUE(WaitUntil([&] { return ShowsAboutDialog(ScreenImage(app.Screenshot("about"))); },
                        AmbrelProcess::kStartTimeoutMs));

  // Enter ends the dialog (OK); the map is back and the buttons answer again.
  app.Input("key return");
  app.Input(Tap(kZoomOut));
  ASSERT_TRUE(WaitForScreen(app, homeTiles.size() + TilesCovering(kHomeLatitude, kHomeLongitude, 16).size()))
      << app.Stderr();
  EXPECT_FALSE(ShowsAboutDialog(ScreenImage(app.Screenshot("after-about"))));
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

TEST_F(AmbrelHeadless, SecondCopyEndsAtOnceAndBringsTheRunningOneForward) {
  AmbrelProcess first;
  ASSERT_TRUE(WaitForScreen(first, homeTiles.size())) << first.Stderr();
  const size_t requests = server.Log().size();

  AmbrelProcess second;
  ASSERT_EQ(second.WaitForExit(), 0) << second.Stderr();
  EXPECT_EQ(second.Stderr().find("OMEvent"), std::string::npos) << "the second copy made a map";
  EXPECT_EQ(server.Log().size(), requests);
  EXPECT_TRUE(first.Running());

  // The running copy still answers its user and ends normally.
  first.Input("key ctrl+q");
  ASSERT_EQ(first.WaitForExit(), 0);
}

TEST_F(AmbrelHeadless, WithoutTheControlAMessageBoxShowsAndTheButtonsDoNothing) {
  // A device that lets no thread start: the control cannot start its message thread.
  AmbrelProcess app(Settings{{"ORVAN_THREAD_LIMIT", "0"}});
  // The message box comes before the buttons are made: while it shows, the button row is empty.
  std::unique_ptr<ScreenImage> box;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = std::make_unique<ScreenImage>(app.Screenshot("message-box"));
        return box->Count(20, 100, 220, 200, IsDark) > 20;
      },
      AmbrelProcess::kStartTimeoutMs))
      << "no message box";
  EXPECT_LT(box->Count(0, kMapBottom, kScreenWidth, kButtonBottom, IsDark), 10);

  app.Input("key return");
  ASSERT_TRUE(WaitUntil(
      [&] {
        const ScreenImage shot(app.Screenshot("buttons"));
        return shot.Count(0, kMapBottom, kScreenWidth, kButtonBottom, IsDark) > 30;
      },
      AmbrelProcess::kStartTimeoutMs));

  app.Input(Tap(kZoomIn));
  app.Input(Tap(kZoomOut));
  app.Input(Tap(kHome));
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
  EXPECT_EQ(server.Log().size(), 0u);
  EXPECT_EQ(app.Stderr().find("OMEvent"), std::string::npos);
}

TEST_F(AmbrelHeadless, ServerThatAnswersOnlyErrorsAndResetsLeavesAProgramThatAnswersAndEnds) {
  server.AddRule("status=503");
  server.AddRule("z=16 reset=head");
  server.AddRule("z=16 x=55919 reset=mid");
  server.AddRule("z=6 garbage");
  AmbrelProcess app;
  ASSERT_TRUE(server.WaitForRequests(homeTiles.size(), AmbrelProcess::kStartTimeoutMs));

  app.Input(Tap(kZoomOut));
  ASSERT_TRUE(WaitUntil([&] { return !AtZoom(TilesAskedFor(server.Log()), 16).empty(); },
                        AmbrelProcess::kStartTimeoutMs));
  app.Input(Tap(kHome));
  ASSERT_TRUE(WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 6).size() == 4; },
                        AmbrelProcess::kStartTimeoutMs));
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
  for (const TileServerLogEntry& entry : server.Log()) EXPECT_NE(entry.outcome, "200 tile");
}

TEST(AmbrelLayout, OnAScreen241WideTheButtonsAre80WideAndTheLastColumnStaysBare) {
  TileServer server;
  ProxyEnvironment proxy(server);
  AmbrelProcess app(Settings{{"ORVAN_SCREEN", "241x320"}});
  ASSERT_TRUE(app.WaitForLines("OMEventTypeMapDrawn", 1)) << app.Stderr();
  const ScreenImage shot(app.Screenshot("241"));
  ASSERT_EQ(shot.Width(), 241);
  // Column 240 of the button row is the main window's white background; column 239 is a button.
  EXPECT_EQ(shot.Count(240, kMapBottom, 241, kButtonBottom, [](Rgb c) { return c == kWhite; }), 30);
  EXPECT_LT(shot.Count(236, kMapBottom, 240, kButtonBottom, [](Rgb c) { return c == kWhite; }), 4 * 30);
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

}  // namespace
