// The real ambrel program, headless, against the real tile server: what it asks for, what it
// shows, what it writes to the debugger output, and how it answers its user.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "tests/app/AmbrelProcess.h"
#include "tests/app/AmbrelScene.h"
#include "tests/app/ScreenImage.h"
#include "tests/support/TempFolder.h"
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
constexpr Point kOkSoftKey{30, kMenuBarTop + kMenuBar / 2};
constexpr Point kHelpSoftKey{kScreenWidth - 30, kMenuBarTop + kMenuBar / 2};
constexpr Point kDoneButton{216, kTaskBar / 2};  // the task bar's "ok" of a dialog with a Done button

bool IsDark(const Rgb& c) { return c.r + c.g + c.b < 3 * 110; }
bool IsPinRed(const Rgb& c) { return c.r > 180 && c.g < 90 && c.b < 90; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Tap(Point p) { return "tap " + std::to_string(p.x) + " " + std::to_string(p.y); }

std::vector<Tile> Sorted(std::vector<Tile> tiles) {
  std::sort(tiles.begin(), tiles.end());
  return tiles;
}
std::vector<Tile> Sorted(const std::set<Tile>& tiles) { return {tiles.begin(), tiles.end()}; }

// Waits until `loads` tiles have been drawn and the screen shows every one of `tiles` (centred on
// the position): each tile's visible part holds its server's background colour, which neither the
// placeholder nor a white (failed) tile has. The screenshot that showed it, or null on time-out.
std::unique_ptr<ScreenImage> WaitForTilesOnScreen(AmbrelProcess& app, size_t loads, const std::set<Tile>& tiles,
                                                  Rgb background, double latitude = kHomeLatitude,
                                                  double longitude = kHomeLongitude) {
  if (!app.WaitForLines(kLoaded, loads)) return nullptr;
  std::unique_ptr<ScreenImage> shot;
  const bool shown = WaitUntil(
      [&] {
        const std::string path = app.Screenshot("tiles");
        if (path.empty()) return false;
        shot = std::make_unique<ScreenImage>(path);
        for (const Tile& tile : tiles) {
          const ScreenRect r = VisibleRect(tile, latitude, longitude);
          if (shot->Count(r.left, r.top, r.right, r.bottom, [&](Rgb c) { return c == background; }) == 0) return false;
        }
        return true;
      },
      AmbrelProcess::kStartTimeoutMs);
  return shown ? std::move(shot) : nullptr;
}

// How often the device brought the program's screen to the front (-1 when it cannot be read).
int RaiseCount(AmbrelProcess& app) {
  const std::string state = app.DeviceState();
  const size_t at = state.find("raised ");
  return at == std::string::npos ? -1 : std::atoi(state.c_str() + at + 7);
}

class AmbrelHeadless : public ::testing::Test {
 protected:
  TileServer server;
  ProxyEnvironment proxy{server};
  const std::set<Tile> homeTiles = TilesCovering(kHomeLatitude, kHomeLongitude, 17);
  const std::set<Tile> zoomedOutTiles = TilesCovering(kHomeLatitude, kHomeLongitude, 16);
};

TEST_F(AmbrelHeadless, FirstScreenAsksForTheTilesUnderTheMapAndShowsThemWithButtonsAndSoftKeys) {
  AmbrelProcess app;
  const auto shot = WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground);
  ASSERT_NE(shot, nullptr) << app.Stderr();

  // Exactly the tiles under the map view's client area, each once, from the regional server.
  const std::vector<TileServerLogEntry> log = server.AnsweredLog();
  EXPECT_EQ(Sorted(TilesAskedFor(log)), Sorted(homeTiles));
  for (const TileServerLogEntry& entry : log) {
    EXPECT_TRUE(EndsWith(entry.host, kRegionalDomain)) << entry.host;
    EXPECT_EQ(entry.outcome, "200 tile");
  }

  ASSERT_EQ(shot->Width(), kScreenWidth);
  ASSERT_EQ(shot->Height(), kScreenHeight);
  // The map view holds the map and nothing of the world server.
  EXPECT_EQ(shot->Count(0, 0, kScreenWidth, kScreenHeight, [](Rgb c) { return c == kWorldBackground; }), 0);
  // Three labelled buttons in a row under the map: text in each third, no map.
  for (int i = 0; i < 3; ++i) {
    EXPECT_GT(shot->Count(i * 80 + 4, kMapBottom + 4, i * 80 + 76, kButtonBottom - 4, IsDark), 10) << "button " << i;
  }
  EXPECT_EQ(shot->Count(0, kMapBottom, kScreenWidth, kButtonBottom, [](Rgb c) { return c == kRegionalBackground; }), 0);
  // Below the buttons, down to the soft-key bar, the main window's white background.
  EXPECT_EQ(shot->Count(0, kButtonBottom + 1, kScreenWidth, kMenuBarTop, [](Rgb c) { return !(c == kWhite); }), 0);
  // The soft-key bar along the bottom, with a label in each half.
  const int barPixels = kScreenWidth * kMenuBar;
  EXPECT_EQ(shot->Count(0, kMenuBarTop, kScreenWidth, kScreenHeight, [](Rgb c) { return c == kWhite; }) < barPixels / 2,
            true);
  EXPECT_GT(shot->Count(0, kMenuBarTop, kScreenWidth / 2, kScreenHeight, [](Rgb c) { return c.r > 200 && c.g > 200; }),
            5);
  EXPECT_GT(shot->Count(kScreenWidth / 2, kMenuBarTop, kScreenWidth, kScreenHeight,
                        [](Rgb c) { return c.r > 200 && c.g > 200; }),
            5);

  // Ctrl+Q ends the program normally.
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);

  // The debugger output: only the four names, each a whole line, in matching pairs.
  size_t counts[4] = {};
  const std::string names[4] = {kWillLoad, kLoaded, kWillDraw, kDrawn};
  for (const std::string& line : Lines(app.Stderr())) {
    if (line.find("OMEvent") == std::string::npos) continue;
    const auto found = std::find(std::begin(names), std::end(names), line);
    ASSERT_NE(found, std::end(names)) << "not a whole event line: " << line;
    ++counts[found - std::begin(names)];
  }
  EXPECT_EQ(counts[0], homeTiles.size());
  EXPECT_EQ(counts[1], homeTiles.size());
  EXPECT_GE(counts[2], 1u);
  EXPECT_EQ(counts[2], counts[3]);
}

TEST_F(AmbrelHeadless, ZoomInAtTheUpperLimitAsksForNothingWhileZoomOutStillWorks) {
  AmbrelProcess app;
  const auto before = WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground);
  ASSERT_NE(before, nullptr) << app.Stderr();

  // Taps are handled in order: once Zoom Out's tiles arrive, Zoom In has been handled before it.
  app.Input(Tap(kZoomIn));
  app.Input(Tap(kZoomOut));
  const auto after =
      WaitForTilesOnScreen(app, homeTiles.size() + zoomedOutTiles.size(), zoomedOutTiles, kRegionalBackground);
  ASSERT_NE(after, nullptr) << app.Stderr();

  const std::vector<Tile> asked = TilesAskedFor(server.Log());
  EXPECT_EQ(AtZoom(asked, 18), std::set<Tile>{});
  EXPECT_EQ(asked.size(), homeTiles.size() + zoomedOutTiles.size());
  EXPECT_EQ(AtZoom(asked, 16), zoomedOutTiles);
  EXPECT_EQ(app.CountLines(kLoaded), homeTiles.size() + zoomedOutTiles.size());
  EXPECT_GT(before->Differences(*after, 1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 1), 1000);

  // The left soft key, "OK", closes the program as Ctrl+Q does.
  app.Input(Tap(kOkSoftKey));
  ASSERT_EQ(app.WaitForExit(), 0);
}

TEST_F(AmbrelHeadless, HomeButtonMovesTheCentreAtTheCurrentZoomThenZoomsToSix) {
  AmbrelProcess app;
  ASSERT_NE(WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground), nullptr) << app.Stderr();

  app.Input(Tap(kHome));
  // First position change: the centre at zoom 17, whose tiles are held and drawn again at once.
  // Second: zoom 6, whose tiles come from the world server.
  const std::set<Tile> atSix = TilesCovering(kHomeLatitude, kHomeLongitude, 6);
  ASSERT_NE(WaitForTilesOnScreen(app, 2 * homeTiles.size() + atSix.size(), atSix, kWorldBackground), nullptr)
      << app.Stderr();

  const std::vector<TileServerLogEntry> log = server.AnsweredLog();
  std::vector<Tile> expected(homeTiles.begin(), homeTiles.end());
  expected.insert(expected.end(), atSix.begin(), atSix.end());
  EXPECT_EQ(Sorted(TilesAskedFor(log)), Sorted(expected));
  for (const TileServerLogEntry& entry : log) {
    if (TileOf(entry).z == 6) {
      EXPECT_TRUE(EndsWith(entry.host, kWorldDomain)) << entry.host;
    }
  }
  EXPECT_EQ(app.CountLines(kLoaded), 2 * homeTiles.size() + atSix.size());
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

// The latitude of a world pixel row at level z (the inverse of WorldPixel's y).
double LatitudeOfRow(int64_t y, int z) {
  const double size = 256.0 * std::pow(2.0, z);
  return std::atan(std::sinh(M_PI * (1.0 - 2.0 * static_cast<double>(y) / size))) * 180.0 / M_PI;
}

// A drag released over the task bar, outside the map view, still ends in the map view: the view
// moves by the whole drag, the tiles it uncovers (if any) are asked for, and the next drag starts
// from there.
// Where the map shows its tiles' background colour, in b at (x + dx, y + dy) against a at (x, y)
// over the map view: how many pixels disagree. Placeholder pixels (which show through the tiles'
// white and do not move with a drag) count as not background in both.
int ShiftedMapDifferences(const ScreenImage& a, const ScreenImage& b, int dx, int dy) {
  int n = 0;
  for (int y = kMapTop + 1; y < kMapBottom - 1; ++y)
    for (int x = 1; x < kScreenWidth - 1; ++x) {
      const int bx = x + dx, by = y + dy;
      if (bx < 1 || bx >= kScreenWidth - 1 || by < kMapTop + 1 || by >= kMapBottom - 1) continue;
      n += (a.At(x, y) == kRegionalBackground) != (b.At(bx, by) == kRegionalBackground);
    }
  return n;
}

// A drag released over the task bar, outside the map view, still ends in the map view: the view
// moves by the whole drag, the tiles it uncovers (if any) are asked for, and the next drag starts
// from there.
TEST_F(AmbrelHeadless, ADragReleasedOverTheTaskBarMovesTheMapAndTheNextDragContinuesFromIt) {
  AmbrelProcess app;
  const auto before = WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground);
  ASSERT_NE(before, nullptr) << app.Stderr();

  app.Input("down 120 150");
  for (int y = 130; y >= 10; y -= 30) app.Input("move 120 " + std::to_string(y));
  // Held still before the lift: a lift while moving would flick the map on past the drag.
  app.Input("wait 150");
  app.Input("up 120 10");  // over the task bar
  const int64_t centreRow = WorldPixel(kHomeLatitude, kHomeLongitude, 17).second + 140;
  const double latitude = LatitudeOfRow(centreRow, 17);
  const std::set<Tile> moved = TilesCovering(latitude, kHomeLongitude, 17);
  std::set<Tile> uncovered;
  for (const Tile& t : moved)
    if (!homeTiles.count(t)) uncovered.insert(t);
  ASSERT_TRUE(app.WaitForLines(kLoaded, homeTiles.size() + uncovered.size())) << app.Stderr();
  // Input and screenshots are not in step with the program's message loop: look until it shows
  // the first picture 140 pixels higher, with every tile drawn.
  std::unique_ptr<ScreenImage> released;
  int differing = -1;
  ASSERT_TRUE(WaitUntil(
      [&] {
        released = std::make_unique<ScreenImage>(app.Screenshot("released"));
        return (differing = ShiftedMapDifferences(*released, *before, 0, 140)) == 0;
      },
      AmbrelProcess::kStartTimeoutMs))
      << differing << " map pixels differ from the first picture moved up by the drag";
  std::set<Tile> asked;
  for (const Tile& t : TilesAskedFor(server.Log())) asked.insert(t);
  std::set<Tile> expected = homeTiles;
  expected.insert(uncovered.begin(), uncovered.end());
  EXPECT_EQ(Sorted(asked), Sorted(expected));

  // A short drag 10 pixels right and down: the picture is the released one, shifted by that.
  app.Input("down 60 150");
  app.Input("move 70 160");
  const bool shifted = WaitUntil(
      [&] {
        const ScreenImage dragged(app.Screenshot("dragged"));
        return (differing = ShiftedMapDifferences(*released, dragged, 10, 10)) == 0;
      },
      10000);
  EXPECT_TRUE(shifted) << differing << " map pixels differ from the released picture shifted by 10";

  app.Input("up 70 160");
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

// With nothing configured Ambrel shows the world map built beside it, offline: sea and land in
// the map's colours, the attribution that names the data, and no request to any server.
TEST_F(AmbrelHeadless, WithNothingConfiguredTheWorldMapBesideTheProgramShowsWithItsAttribution) {
  TempFolder user("ambrel-user");
  AmbrelProcess app(Settings{{"AMBREL_TILES", ""}, {"AMBREL_CONTACT", ""}, {"HOME", user.Path()},
                             {"XDG_CONFIG_HOME", user.Path()}},
                    {});
  constexpr Rgb kSea{170, 211, 223}, kLand{242, 239, 233};
  std::unique_ptr<ScreenImage> shot;
  auto count = [&](Rgb colour) {
    return shot->Count(1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 14, [&](Rgb c) { return c == colour; });
  };
  const bool shown = WaitUntil(
      [&] {
        const std::string path = app.Screenshot("world");
        if (path.empty()) return false;
        shot = std::make_unique<ScreenImage>(path);
        return count(kSea) > 2000 && count(kLand) > 2000;
      },
      AmbrelProcess::kStartTimeoutMs);
  ASSERT_TRUE(shown) << (shot ? std::to_string(count(kSea)) + " sea, " + std::to_string(count(kLand)) + " land pixels"
                              : std::string("no screenshot"))
                     << "\n" << app.Stderr();
  // "Natural Earth" in grey text on the light box at the map's bottom-right corner.
  EXPECT_GT(shot->Count(kScreenWidth - 90, kMapBottom - 14, kScreenWidth - 1, kMapBottom - 1,
                        [](Rgb c) { return c.r < 160 && c.g < 160 && c.b < 160; }),
            40);
  EXPECT_GT(shot->Count(kScreenWidth - 90, kMapBottom - 14, kScreenWidth - 1, kMapBottom - 1,
                        [](Rgb c) { return c == Rgb{245, 245, 245}; }),
            100);
  EXPECT_EQ(server.Log().size(), 0u) << "the world map needs no network";
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
}

// The default tile servers out of reach (the proxy a closed port): after a few seconds a line over
// the map says what to set, instead of an empty grid.
TEST_F(AmbrelHeadless, WithNoTileReachableALineOverTheMapSaysWhatToSet) {
  AmbrelProcess app(Settings{{"http_proxy", "http://127.0.0.1:9"}});
  const int middle = (kMapTop + kMapBottom) / 2;
  int dark = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string path = app.Screenshot("notice");
        if (path.empty()) return false;
        const ScreenImage shot(path);
        dark = shot.Count(10, middle - 22, kScreenWidth - 10, middle + 22, IsDark);
        return dark > 150;
      },
      AmbrelProcess::kStartTimeoutMs))
      << dark << " dark pixels where the notice goes\n"
      << app.Stderr();
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
}

// The About dialog covers the screen below the task bar and shows the program's icon, whose pin is
// the only red on Ambrel's screens.
bool ShowsAboutDialog(const ScreenImage& shot) {
  const int mapPixels =
      shot.Count(0, kMapTop, kScreenWidth, kMapBottom, [](Rgb c) { return c == kRegionalBackground; });
  return mapPixels == 0 && shot.Count(0, kTaskBar, kScreenWidth, kScreenHeight, IsPinRed) > 4;
}

TEST_F(AmbrelHeadless, HelpAboutAndCtrlAOpenTheAboutDialogItsDoneButtonClosesIt) {
  AmbrelProcess app;
  const auto map = WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground);
  ASSERT_NE(map, nullptr) << app.Stderr();
  EXPECT_FALSE(ShowsAboutDialog(*map));
  auto aboutShown = [&] {
    return WaitUntil([&] { return ShowsAboutDialog(ScreenImage(app.Screenshot("about"))); },
                     AmbrelProcess::kStartTimeoutMs);
  };
  // Done ends the dialog and the map is back. (A tap goes to the window under the stylus when it
  // is made, so the next input waits until the dialog has gone.)
  auto closeWithDone = [&] {
    app.Input(Tap(kDoneButton));
    return WaitForTilesOnScreen(app, homeTiles.size(), homeTiles, kRegionalBackground) != nullptr;
  };

  // "Help" opens its popup above the soft key; its one item, "About...", is chosen with the keys.
  app.Input(Tap(kHelpSoftKey));
  ASSERT_TRUE(WaitUntil(
      [&] {
        const ScreenImage shot(app.Screenshot("help"));
        return shot.Differences(*map, kScreenWidth / 2, kMapTop, kScreenWidth, kMenuBarTop) > 100;
      },
      AmbrelProcess::kStartTimeoutMs))
      << "no popup";
  app.Input("key down");
  app.Input("key return");
  ASSERT_TRUE(aboutShown());
  ASSERT_TRUE(closeWithDone());

  app.Input("key ctrl+a");
  ASSERT_TRUE(aboutShown());
  ASSERT_TRUE(closeWithDone());

  // The buttons answer again.
  app.Input(Tap(kZoomOut));
  const auto after =
      WaitForTilesOnScreen(app, homeTiles.size() + zoomedOutTiles.size(), zoomedOutTiles, kRegionalBackground);
  ASSERT_NE(after, nullptr) << app.Stderr();
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

TEST_F(AmbrelHeadless, SecondCopyEndsAtOnceAndBringsTheRunningOneForward) {
  AmbrelProcess first;
  ASSERT_NE(WaitForTilesOnScreen(first, homeTiles.size(), homeTiles, kRegionalBackground), nullptr) << first.Stderr();
  const size_t requests = server.Log().size();
  const int raised = RaiseCount(first);
  ASSERT_GE(raised, 0) << first.DeviceState();

  AmbrelProcess second(Settings{{"XDG_RUNTIME_DIR", first.WorkFolder()}});
  ASSERT_EQ(second.WaitForExit(), 0) << second.Stderr();
  EXPECT_EQ(second.Stderr().find("OMEvent"), std::string::npos) << "the second copy made a map";
  EXPECT_EQ(server.Log().size(), requests);

  // The running copy was brought to the front, with its main window in front, and still answers.
  ASSERT_TRUE(WaitUntil([&] { return RaiseCount(first) > raised; }, AmbrelProcess::kStartTimeoutMs))
      << first.DeviceState();
  EXPECT_NE(first.DeviceState().find("foreground Ambrel\n"), std::string::npos) << first.DeviceState();
  first.Input("key ctrl+q");
  ASSERT_EQ(first.WaitForExit(), 0);
}

// What the single-instance check reads may be anything another program (or a person) put there:
// none of it holds up the start, and the program's own socket goes when it ends.
TEST_F(AmbrelHeadless, FifosLinksAndFoldersNamedLikeEntriesOrSocketsDoNotHoldUpTheStart) {
  const TempFolder runtime;
  const std::string registry = runtime.Path() + "/orvan-ui";
  ASSERT_EQ(mkdir(registry.c_str(), 0700), 0);
  ASSERT_EQ(mkfifo((registry + "/17-18.win").c_str(), 0600), 0);  // an open for reading waits for a writer
  ASSERT_EQ(symlink("17-18.win", (registry + "/19-20.win").c_str()), 0);
  ASSERT_EQ(mkdir((registry + "/21-22.win").c_str(), 0700), 0);
  ASSERT_EQ(mkfifo((registry + "/23.sock").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((registry + "/24.sock").c_str(), 0700), 0);

  AmbrelProcess app(Settings{{"XDG_RUNTIME_DIR", runtime.Path()}, {"ORVAN_RUN_MS", "3000"}});
  const std::optional<int> code = app.WaitForExit();
  ASSERT_TRUE(code.has_value()) << "still running long after ORVAN_RUN_MS: held up at start\n" << app.Stderr();
  EXPECT_EQ(*code, 0) << app.Stderr();
  EXPECT_GE(app.CountLines(kWillLoad), 1u) << "it never made its map\n" << app.Stderr();
  struct stat info {};
  EXPECT_NE(lstat((registry + "/" + std::to_string(app.Pid()) + ".sock").c_str(), &info), 0)
      << "its socket was left behind";
}

TEST_F(AmbrelHeadless, WithoutTheControlAMessageBoxShowsAndTheButtonsDoNothing) {
  // The device refuses the control's window, as when it is out of memory.
  AmbrelProcess app(Settings{{"ORVAN_FAIL_WINDOW_CLASS", "OMMapView"}});
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
  EXPECT_NE(app.DeviceState().find("foreground Orvan.Map\n"), std::string::npos) << app.DeviceState();

  // Enter dismisses it; the program runs on with its buttons, which do nothing.
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

// Without its soft keys the program could not be closed on the device: it says so and ends as a
// failure (the sanitizer run checks that nothing made before it is leaked).
TEST_F(AmbrelHeadless, WithoutTheSoftKeysAMessageBoxShowsAndTheProgramEndsWithAFailure) {
  AmbrelProcess app(Settings{{"ORVAN_FAIL_WINDOW_CLASS", "SoftKeyBar"}});
  ASSERT_TRUE(WaitUntil(
      [&] {
        const ScreenImage box(app.Screenshot("message-box"));
        return box.Count(20, 100, 220, 200, IsDark) > 20;
      },
      AmbrelProcess::kStartTimeoutMs))
      << "no message box";
  app.Input("key return");
  EXPECT_EQ(app.WaitForExit(), 1) << app.Stderr();
  EXPECT_EQ(server.Log().size(), 0u);
}

TEST_F(AmbrelHeadless, ServerThatAnswersOnlyErrorsAndResetsLeavesAProgramThatAnswersAndEnds) {
  server.AddRule("status=503");
  server.AddRule("z=16 reset=head");
  server.AddRule("z=16 x=55919 reset=mid");
  server.AddRule("z=6 garbage");
  AmbrelProcess app;
  ASSERT_TRUE(server.WaitForRequests(homeTiles.size(), AmbrelProcess::kStartTimeoutMs));
  // The map asks for its tiles before the buttons exist; a tap before they are drawn is lost.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const ScreenImage shot(app.Screenshot("buttons"));
        return shot.Count(0, kMapBottom, kScreenWidth, kButtonBottom, IsDark) > 30;
      },
      AmbrelProcess::kStartTimeoutMs));

  app.Input(Tap(kZoomOut));
  ASSERT_TRUE(WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 16) == zoomedOutTiles; },
                        AmbrelProcess::kStartTimeoutMs));
  app.Input(Tap(kHome));
  const std::set<Tile> atSix = TilesCovering(kHomeLatitude, kHomeLongitude, 6);
  ASSERT_TRUE(
      WaitUntil([&] { return AtZoom(TilesAskedFor(server.Log()), 6) == atSix; }, AmbrelProcess::kStartTimeoutMs));
  // The garbage tiles arrive as tiles without an image: drawn white, with their events.
  ASSERT_TRUE(app.WaitForLines(kLoaded, atSix.size())) << app.Stderr();
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
  for (const TileServerLogEntry& entry : server.Log()) EXPECT_NE(entry.outcome, "200 tile");
}

// A tile source the control refuses, from the command line (a path with spaces, handed over whole)
// or from the environment over the config file: one line naming it and where it was set, a message
// box, and exit status 2 once the user dismisses it.
TEST(AmbrelSettings, ARefusedTileSourceIsNamedInOneLineAndAMessageBoxAndEndsTheProgramWithStatus2) {
  TempFolder config;
  ASSERT_EQ(::mkdir(config.File("ambrel").c_str(), 0700), 0);
  std::ofstream(config.File("ambrel/ambrel.conf")) << "# mine\nzoom = 3\ntiles = mbtiles:/from-the-file.mbtiles\n";
  const std::string missing = config.File("my maps/\"world\" map.mbtiles");
  struct Case {
    Settings environment;
    std::vector<std::string> arguments;
    std::string line;
  };
  const Case cases[] = {
      {{{"AMBREL_TILES", "mbtiles:/from-env.mbtiles"}},
       {"--tiles", "mbtiles:" + missing},
       "ambrel: cannot use the tiles 'mbtiles:" + missing + "': "},
      {{{"AMBREL_TILES", "mbtiles:/from env.mbtiles"}},
       {},
       "ambrel: cannot use the tiles 'mbtiles:/from env.mbtiles' (from AMBREL_TILES): "},
  };
  for (const Case& c : cases) {
    Settings environment = c.environment;
    environment["XDG_CONFIG_HOME"] = config.Path();
    AmbrelProcess app(environment, c.arguments);
    ASSERT_TRUE(WaitUntil(
        [&] {
          const ScreenImage box(app.Screenshot("message-box"));
          return box.Count(20, 100, 220, 200, IsDark) > 20;
        },
        AmbrelProcess::kStartTimeoutMs))
        << app.Stderr();
    app.Input("key return");
    ASSERT_EQ(app.WaitForExit(), 2) << app.Stderr();
    std::vector<std::string> refusals;
    for (const std::string& line : Lines(app.Stderr())) {
      if (line.rfind("ambrel: cannot", 0) == 0) refusals.push_back(line);
    }
    ASSERT_EQ(refusals.size(), 1u) << app.Stderr();
    EXPECT_EQ(refusals[0].rfind(c.line, 0), 0u) << refusals[0];
    EXPECT_EQ(app.CountLines("ambrel: " + config.File("ambrel/ambrel.conf") + ":2: unknown setting 'zoom', ignored"), 1u)
        << app.Stderr();
  }
}

// A walk's GPX file with three waypoints, after a file that is missing: the missing one is named
// on stderr and in a message box and the program goes on; the map opens fitted to the waypoints
// (at 15 the box would fill 200 of the map's 222 rows, leaving no room above the northern point
// for its pin: one level out, at 14) with their pins on screen, and a tap on a pin names it.
TEST_F(AmbrelHeadless, GpxWaypointsArePinnedTheTrackDrawnTheMapFitsThemAndATapOnOneShowsItsName) {
  TempFolder folder("ambrel-gpx");
  const std::string trail = folder.File("namhan walk.gpx");
  std::ofstream(trail) << R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="handheld logger" xmlns="http://www.topografix.com/GPX/1/1"
     xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
  <metadata><name>Sunday walk</name><time>2024-05-12T08:01:00Z</time></metadata>
  <wpt lat="37.4368" lon="127.1710"><ele>320</ele><name>North Gate</name></wpt>
  <wpt lat="37.4334" lon="127.1740"><name>Summit</name><sym>Summit</sym></wpt>
  <wpt lat="37.4300" lon="127.1762"><name>Car Park</name></wpt>
  <trk><name>Sunday walk</name><trkseg>
    <trkpt lat="37.4300" lon="127.1762"><ele>180</ele><time>2024-05-12T08:01:00Z</time></trkpt>
    <trkpt lat="37.4334" lon="127.1740"><ele>410</ele><time>2024-05-12T08:40:00Z</time></trkpt>
    <trkpt lat="37.4368" lon="127.1710"><ele>320</ele><time>2024-05-12T09:05:00Z</time></trkpt>
  </trkseg></trk>
</gpx>
)";
  const std::string missing = folder.File("missing.gpx");
  AmbrelProcess app(Settings{}, {"--tiles", "default", "--gpx", missing, "--gpx=" + trail});

  auto foreground = [&](const std::string& title) {
    return WaitUntil([&] { return app.DeviceState().find("foreground " + title + "\n") != std::string::npos; },
                     AmbrelProcess::kStartTimeoutMs);
  };
  ASSERT_TRUE(foreground("GPX files not shown")) << app.DeviceState() << app.Stderr();
  EXPECT_EQ(app.CountLines("ambrel: " + missing + ": cannot be read (No such file or directory)"), 1u) << app.Stderr();
  app.Input("key return");
  ASSERT_TRUE(foreground("Ambrel")) << app.DeviceState();

  // Where each waypoint's point is on the screen at zoom 14, the map centred on the box's middle.
  constexpr int kZoom = 14;
  const auto [westX, northY] = WorldPixel(37.4368, 127.1710, kZoom);
  const auto [eastX, southY] = WorldPixel(37.4300, 127.1762, kZoom);
  const int64_t centreX = (westX + eastX) / 2, centreY = (northY + southY) / 2;
  struct Pin {
    const char* name;
    double latitude, longitude;
    Point tip;
  };
  std::vector<Pin> pins = {{"North Gate", 37.4368, 127.1710, {}}, {"Summit", 37.4334, 127.1740, {}},
                           {"Car Park", 37.4300, 127.1762, {}}};
  for (Pin& pin : pins) {
    const auto [x, y] = WorldPixel(pin.latitude, pin.longitude, kZoom);
    pin.tip = {static_cast<int>(1 + kMapClientWidth / 2 + (x - centreX)),
               static_cast<int>(kMapTop + 1 + kMapClientHeight / 2 + (y - centreY))};
  }
  // A pin's red head stands over its tip.
  auto pinAt = [](const ScreenImage& shot, Point tip) {
    return shot.Count(tip.x - 5, tip.y - 27, tip.x + 6, tip.y - 10, IsPinRed) > 20;
  };
  std::unique_ptr<ScreenImage> shot;
  const bool pinned = WaitUntil(
      [&] {
        shot = std::make_unique<ScreenImage>(app.Screenshot("pins"));
        for (const Pin& pin : pins)
          if (!pinAt(*shot, pin.tip)) return false;
        return shot->Count(1, kMapTop + 1, kScreenWidth - 1, kMapBottom - 1,
                           [](Rgb c) { return c == kRegionalBackground; }) > 1000;
      },
      AmbrelProcess::kStartTimeoutMs);
  ASSERT_TRUE(pinned) << "no pins at the fitted places\n" << app.Stderr();
  // Each pin (19 x 30, its tip at (9, 29)) whole inside the map view's client area.
  for (const Pin& pin : pins) {
    EXPECT_GE(pin.tip.y - 29, kMapTop + 1) << pin.name << "'s pin is cut at the map's top";
    EXPECT_LT(pin.tip.y, kMapBottom - 1) << pin.name;
    EXPECT_GE(pin.tip.x - 9, 1) << pin.name;
    EXPECT_LT(pin.tip.x + 9, kScreenWidth - 1) << pin.name;
  }
  // The track runs from the Car Park over the Summit to the North Gate in its own colour: three
  // quarters along each leg (clear of the pins, which stand over their tips) the line is drawn.
  auto isTrack = [](Rgb c) { return c == Rgb{0xD0, 0x30, 0x9F}; };
  for (size_t leg = 2; leg > 0; --leg) {
    const Point from = pins[leg].tip, to = pins[leg - 1].tip;
    const Point at{from.x + (to.x - from.x) * 3 / 4, from.y + (to.y - from.y) * 3 / 4};
    EXPECT_GE(shot->Count(at.x - 1, at.y - 1, at.x + 2, at.y + 2, isTrack), 3)
        << "no track from " << pins[leg].name << " towards " << pins[leg - 1].name << " at " << at.x << "," << at.y;
  }

  // The map opened there, not on the home position first, and asked for the tiles under it.
  const std::vector<Tile> asked = TilesAskedFor(server.Log());
  EXPECT_EQ(AtZoom(asked, 17), std::set<Tile>{});
  std::set<Tile> underMap;
  for (int64_t x = (centreX - kMapClientWidth / 2) / 256; x <= (centreX + kMapClientWidth / 2) / 256; ++x)
    for (int64_t y = (centreY - kMapClientHeight / 2) / 256; y <= (centreY + kMapClientHeight / 2) / 256; ++y)
      underMap.insert({x, y, kZoom});
  EXPECT_EQ(AtZoom(asked, kZoom), underMap);

  // A tap on the Summit's pin: a message box named after it; the map did not move.
  const Point summit = pins[1].tip;
  app.Input(Tap({summit.x, summit.y - 18}));
  ASSERT_TRUE(foreground("Summit")) << app.DeviceState();
  const ScreenImage box(app.Screenshot("summit"));
  EXPECT_GT(box.Count(20, 100, 220, 200, IsDark), 20) << "no text in the message box";
  app.Input("key return");
  ASSERT_TRUE(foreground("Ambrel")) << app.DeviceState();
  ASSERT_TRUE(WaitUntil([&] { return pinAt(ScreenImage(app.Screenshot("after")), summit); },
                        AmbrelProcess::kStartTimeoutMs));
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0) << app.Stderr();
}

// The wheel turned over a point off the map's centre by two half notches (a fine-grained wheel):
// together they zoom out one level, not two and not none, around that point, so the tiles asked for
// at 16 are those around the centre that keeps the point under the pointer, not the centre's.
TEST_F(AmbrelHeadless, TwoHalfNotchesOfTheWheelZoomOutOneLevelKeepingThePointUnderThePointer) {
  AmbrelProcess app;
  ASSERT_TRUE(app.WaitForLines(kLoaded, homeTiles.size())) << app.Stderr();
  const Point pointer{20, 240};
  // The world pixel under the pointer at 17, halved at 16, stays at the pointer's place in the view.
  const int64_t fromCentreX = pointer.x - 1 - kMapClientWidth / 2, fromCentreY = pointer.y - kMapTop - 1 - kMapClientHeight / 2;
  const auto [x17, y17] = WorldPixel(kHomeLatitude, kHomeLongitude, 17);
  const int64_t centreX = (x17 + fromCentreX) / 2 - fromCentreX, centreY = (y17 + fromCentreY) / 2 - fromCentreY;
  auto tilesAround = [](int64_t cx, int64_t cy) {
    std::set<Tile> tiles;
    for (int64_t x = (cx - kMapClientWidth / 2) / 256; x <= (cx + kMapClientWidth / 2) / 256; ++x)
      for (int64_t y = (cy - kMapClientHeight / 2) / 256; y <= (cy + kMapClientHeight / 2) / 256; ++y)
        tiles.insert({x, y, 16});
    return tiles;
  };
  const std::set<Tile> expected = tilesAround(centreX, centreY);
  // The point chosen tells the two apart, with a pixel of rounding either way.
  ASSERT_NE(expected, zoomedOutTiles);
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy) ASSERT_EQ(tilesAround(centreX + dx, centreY + dy), expected);

  app.Input("wheel " + std::to_string(pointer.x) + " " + std::to_string(pointer.y) + " -0.5");
  app.Input("wheel " + std::to_string(pointer.x) + " " + std::to_string(pointer.y) + " -0.5");
  ASSERT_TRUE(app.WaitForLines(kLoaded, homeTiles.size() + expected.size())) << app.Stderr();
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
  const std::vector<Tile> asked = TilesAskedFor(server.Log());
  EXPECT_EQ(AtZoom(asked, 16), expected);
  EXPECT_TRUE(AtZoom(asked, 15).empty());
  EXPECT_EQ(asked.size(), homeTiles.size() + expected.size());
}

TEST(AmbrelLayout, OnAScreen241WideTheButtonsAre80WideAndTheLastColumnStaysBare) {
  TileServer server;
  ProxyEnvironment proxy(server);
  AmbrelProcess app(Settings{{"ORVAN_SCREEN", "241x320"}});
  std::unique_ptr<ScreenImage> shot;
  ASSERT_TRUE(WaitUntil(
      [&] {
        shot = std::make_unique<ScreenImage>(app.Screenshot("241"));
        return shot->Count(0, kMapBottom, 240, kButtonBottom, IsDark) > 30;
      },
      AmbrelProcess::kStartTimeoutMs));
  ASSERT_EQ(shot->Width(), 241);
  // Column 240 of the button row is the main window's white background; the third button ends at 240.
  EXPECT_EQ(shot->Count(240, kMapBottom, 241, kButtonBottom, [](Rgb c) { return c == kWhite; }), 30);
  EXPECT_LT(shot->Count(236, kMapBottom, 240, kButtonBottom, [](Rgb c) { return c == kWhite; }), 4 * 30);
  app.Input("key ctrl+q");
  ASSERT_EQ(app.WaitForExit(), 0);
}

}  // namespace
