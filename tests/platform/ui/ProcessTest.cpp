// Whole programs in their own processes: the single-instance check between two real processes,
// and the device settings' bad values.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "ChildProcess.h"
#include "tests/platform/ui/XvfbDisplay.h"
#include "tests/support/TempFolder.h"

namespace {
// Files in the instance directory whose names end in `suffix` (".win" entries, ".sock" sockets).
int CountFiles(const std::string& directory, const std::string& suffix) {
  int count = 0;
  if (DIR* listing = opendir((directory + "/orvan-ui").c_str())) {
    while (dirent* item = readdir(listing)) {
      const std::string name = item->d_name;
      count += name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    closedir(listing);
  }
  return count;
}
int CountEntries(const std::string& directory) { return CountFiles(directory, ".win"); }
int CountSockets(const std::string& directory) { return CountFiles(directory, ".sock"); }

// The programs' instance directory is made inside `runtime`, which the test removes.
const std::vector<std::pair<std::string, std::string>> Headless(const TempFolder& runtime) {
  return {{"ORVAN_BACKEND", "headless"},
          {"XDG_RUNTIME_DIR", runtime.Path()},
          {"ORVAN_RUN_MS", "<unset>"},
          {"ORVAN_SCREENSHOT", "<unset>"}};
}

TEST(ProcessTest, ASecondProcessFindsTheFirstAndBringsItForward) {
  const TempFolder runtime("orvan-ui-test");
  ChildProcess first({UI_PROBE_PATH, "first", "ProbeMain", "Probe title"}, Headless(runtime));
  std::string line;
  ASSERT_TRUE(first.ReadLine(&line)) << first.Errors();
  ASSERT_EQ(line, "ready");

  ChildProcess second({UI_PROBE_PATH, "find", "probemain", "Probe title"}, Headless(runtime));
  ASSERT_TRUE(second.ReadLine(&line));
  EXPECT_EQ(line, "found");
  EXPECT_EQ(second.Wait(), 0) << second.Errors();

  ASSERT_TRUE(first.ReadLine(&line)) << "the first process never saw its window come forward";
  EXPECT_EQ(line, "forward");
  EXPECT_EQ(first.Wait(), 0) << first.Errors();

  ChildProcess wrongTitle({UI_PROBE_PATH, "find", "ProbeMain", "Other"}, Headless(runtime));
  EXPECT_EQ(wrongTitle.Wait(), 1);
  EXPECT_EQ(CountEntries(runtime.Path()), 0) << "an ended program leaves no entries";
  // The first process answered on its socket (so the second one's sweep of stale sockets left it
  // alone), and removed it when its last window went.
  EXPECT_EQ(CountSockets(runtime.Path()), 0) << "an ended program leaves no socket";
}

TEST(ProcessTest, AKilledProcessLeavesAnEntryThatDoesNotBlockTheNextStart) {
  const TempFolder runtime("orvan-ui-test");
  ChildProcess holder({UI_PROBE_PATH, "hold", "ProbeHeld", "Held"}, Headless(runtime));
  std::string line;
  ASSERT_TRUE(holder.ReadLine(&line)) << holder.Errors();
  ASSERT_EQ(line, "ready");
  ASSERT_GE(CountEntries(runtime.Path()), 1);
  holder.Kill();
  holder.Wait();
  ASSERT_GE(CountEntries(runtime.Path()), 1) << "SIGKILL leaves the entry behind";
  ASSERT_EQ(CountSockets(runtime.Path()), 1) << "SIGKILL leaves the socket behind";

  ChildProcess next({UI_PROBE_PATH, "find", "ProbeHeld", "Held"}, Headless(runtime));
  ASSERT_TRUE(next.ReadLine(&line));
  EXPECT_EQ(line, "none");
  EXPECT_EQ(next.Wait(), 1);
  EXPECT_EQ(CountEntries(runtime.Path()), 0) << "the stale entry is removed by whoever finds it";
  EXPECT_EQ(CountSockets(runtime.Path()), 0) << "the next program removes the socket nobody listens on";
}

// Lines the window system wrote to stderr (a sanitizer build adds its own report after them).
int SettingLines(const std::string& errors) {
  int count = 0;
  for (size_t at = 0; (at = errors.find("orvan:", at)) != std::string::npos; ++at) {
    count += at == 0 || errors[at - 1] == '\n' ? 1 : 0;
  }
  return count;
}

struct BadSetting {
  const char* name;
  const char* value;
};

class BadSettingTest : public ::testing::TestWithParam<BadSetting> {};

TEST_P(BadSettingTest, GivesOneLineNamingItAndTheProgramStillRunsOnTheDefaultScreen) {
  const BadSetting bad = GetParam();
  const TempFolder runtime("orvan-ui-test");
  const std::string shot = runtime.File("shot.png");
  auto env = Headless(runtime);
  env.push_back({"ORVAN_RUN_MS", "150"});
  env.push_back({"ORVAN_SCREENSHOT", shot});
  env.push_back({bad.name, bad.value});
  ChildProcess program({UI_PROBE_PATH, "show"}, env);
  EXPECT_EQ(program.Wait(), 0) << program.Errors();
  const std::string& errors = program.Errors();
  EXPECT_EQ(SettingLines(errors), 1) << errors;
  EXPECT_NE(errors.find(std::string(bad.name) == "DISPLAY" ? "sdl" : bad.name), std::string::npos) << errors;
  // The screenshot was taken while the program's window still showed, on a 240 x 320 screen.
  std::ifstream file(shot, std::ios::binary);
  ASSERT_TRUE(file.good()) << "no screenshot";
  unsigned char header[24] = {};
  file.read(reinterpret_cast<char*>(header), sizeof header);
  const uint32_t width = (uint32_t(header[16]) << 24) | (uint32_t(header[17]) << 16) | (header[18] << 8) | header[19];
  const uint32_t height = (uint32_t(header[20]) << 24) | (uint32_t(header[21]) << 16) | (header[22] << 8) | header[23];
  EXPECT_EQ(width, 240u);
  EXPECT_EQ(height, 320u);
}

INSTANTIATE_TEST_SUITE_P(Settings, BadSettingTest,
                         ::testing::Values(BadSetting{"ORVAN_SCREEN", "abc"}, BadSetting{"ORVAN_SCREEN", "0x0"},
                                           BadSetting{"ORVAN_SCREEN", "100000x100000"},
                                           BadSetting{"ORVAN_BACKEND", "vga"}, BadSetting{"ORVAN_SCALE", "-3"}),
                         [](const auto& info) { return std::string("Case") + std::to_string(info.index); });

TEST(ProcessTest, SdlRequestedWithoutADisplayFallsBackToHeadlessWithOneLine) {
  const TempFolder runtime("orvan-ui-test");
  auto env = Headless(runtime);
  env[0].second = "sdl";
  env.push_back({"DISPLAY", "<unset>"});
  env.push_back({"WAYLAND_DISPLAY", "<unset>"});
  env.push_back({"ORVAN_RUN_MS", "100"});
  ChildProcess program({UI_PROBE_PATH, "show"}, env);
  EXPECT_EQ(program.Wait(), 0);
  EXPECT_EQ(SettingLines(program.Errors()), 1) << program.Errors();
  EXPECT_NE(program.Errors().find("sdl"), std::string::npos);
}
}  // namespace

namespace {
// The SDL display on a real X server (Xvfb), driven by xdotool as a person would: the mouse is the
// stylus in device coordinates, Ctrl+Q reaches the program as a key and its character, and a
// request to end (SIGTERM, as a desktop session sends) closes the program's windows so that it
// ends normally.
TEST(ProcessTest, TheSdlDisplayTakesMouseAndKeysAndClosesTheProgramOnRequest) {
  if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
    GTEST_SKIP() << "Xvfb or xdotool is not installed";
  }
  const XvfbDisplay server("800x800x24");
  const std::string display = server.Name();
  ASSERT_FALSE(display.empty());
  const TempFolder runtime("orvan-ui-test");
  // SDL's X11 and D-Bus libraries are loaded at run time and unloaded at exit, leaving blocks the
  // leak checker can no longer attribute: the leak check is off for this one program (the rest of
  // the address checks stay on).
  ChildProcess program({UI_PROBE_PATH, "input"}, {{"DISPLAY", display},
                                                  {"ASAN_OPTIONS", "detect_leaks=0:halt_on_error=1"},
                                                  {"ORVAN_BACKEND", "sdl"},
                                                  {"ORVAN_SCALE", "2"},
                                                  {"XDG_RUNTIME_DIR", runtime.Path()},
                                                  {"ORVAN_RUN_MS", "<unset>"},
                                                  {"ORVAN_SCREENSHOT", "<unset>"}});
  std::string line;
  ASSERT_TRUE(program.ReadLine(&line)) << program.Errors();
  ASSERT_EQ(line, "ready");  // its window exists: from now on input has somewhere to go
  ChildProcess search({"/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--name", "Orvan device"},
                      {{"DISPLAY", display}});
  std::string window;
  ASSERT_TRUE(search.ReadLine(&window)) << program.Errors();
  ChildProcess act({"/usr/bin/xdotool",
                    "mousemove",
                    "--window",
                    window,
                    "100",
                    "200",
                    "sleep",
                    "0.5",
                    "mousedown",
                    "1",
                    "mousemove",
                    "--window",
                    window,
                    "120",
                    "220",
                    "mouseup",
                    "1",
                    "key",
                    "--window",
                    window,
                    "ctrl+q"},
                   {{"DISPLAY", display}});
  EXPECT_EQ(act.Wait(), 0) << act.Errors();
  std::vector<std::string> lines;
  while (lines.size() < 6 && program.ReadLine(&line)) lines.push_back(line);
  // Desktop (100, 200) at scale 2 is screen (50, 100): client (50, 74) below the 26-pixel task bar.
  EXPECT_EQ(lines,
            (std::vector<std::string>{"down 50 74", "move 60 84", "up 60 84", "key 17 0", "key 81 0", "char 17 0"}));
  kill(program.Pid(), SIGTERM);
  EXPECT_EQ(program.Wait(), 0) << program.Errors();
  EXPECT_EQ(CountSockets(runtime.Path()), 0) << "a program ended by SIGTERM leaves no socket";
}
}  // namespace
