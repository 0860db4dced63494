// Ambrel's settings: the command line's and the config file's parse, and which source wins.
#include <gtest/gtest.h>

#include "app/AmbrelSettings.h"

namespace {

using ambrel::Arguments;
using ambrel::ConfigFile;
using ambrel::TileSettingValues;

TEST(AmbrelArguments, BothOptionFormsAreReadAndAnythingElseIsOneErrorNamingIt) {
  Arguments a = ambrel::ParseArguments(
      {"--tiles", "mbtiles:/maps/my map.mbtiles", "--contact=me@example.org", "--tiles=upstream:http://t/{z}/{x}/{y}"});
  EXPECT_EQ(a.error, "");
  EXPECT_EQ(a.values.tiles, "upstream:http://t/{z}/{x}/{y}");  // the later one
  EXPECT_EQ(a.values.contact, "me@example.org");
  EXPECT_FALSE(a.help || a.version);
  // --gpx adds a file each time, in both forms.
  EXPECT_EQ(ambrel::ParseArguments({"--gpx", "a walk.gpx", "--gpx=/b.gpx"}).gpxFiles,
            (std::vector<std::string>{"a walk.gpx", "/b.gpx"}));
  EXPECT_EQ(ambrel::ParseArguments({"--gpx"}).error, "--gpx needs a value (see ambrel --help)");
  EXPECT_TRUE(ambrel::ParseArguments({"-h"}).help);
  EXPECT_TRUE(ambrel::ParseArguments({"--version"}).version);
  EXPECT_EQ(ambrel::ParseArguments({"--tiles="}).values.tiles, "");  // given, empty: the control refuses it

  EXPECT_EQ(ambrel::ParseArguments({"--tiles", "default", "--zoom", "3"}).error,
            "unknown option '--zoom' (see ambrel --help)");
  EXPECT_EQ(ambrel::ParseArguments({"--contact"}).error, "--contact needs a value (see ambrel --help)");
  EXPECT_EQ(ambrel::ParseArguments({"map.mbtiles"}).error, "unexpected argument 'map.mbtiles' (see ambrel --help)");
  EXPECT_EQ(ambrel::ParseArguments({"--tilesx=1"}).error, "unknown option '--tilesx=1' (see ambrel --help)");
}

TEST(AmbrelConfigFile, KeyValueLinesWithCommentsAndOddLineEndsAndOneWarningPerBadLine) {
  const ConfigFile config = ambrel::ParseConfigFile(
      "\xEF\xBB\xBF# Ambrel\r\n"
      "\n"
      "   tiles=mbtiles:/old.mbtiles\n"
      "zoom = 4\n"
      "  # tiles = mbtiles:/commented.mbtiles\n"
      "tiles \t=  upstream:https://t.example/{z}/{x}/{y}.png?key=a#b  \r\n"
      "just words\n"
      "contact =\n"
      "contact = https://example.org/#ops\n"
      "gpx = walks/sunday.gpx\n"
      "gpx = /data/ride.gpx\n",
      "/home/u/.config/ambrel/ambrel.conf");
  EXPECT_EQ(config.values.tiles, "upstream:https://t.example/{z}/{x}/{y}.png?key=a#b");
  EXPECT_EQ(config.values.contact, "https://example.org/#ops");
  EXPECT_EQ(config.warnings,
            (std::vector<std::string>{"/home/u/.config/ambrel/ambrel.conf:4: unknown setting 'zoom', ignored",
                                      "/home/u/.config/ambrel/ambrel.conf:7: not a 'key = value' line, ignored"}));
  // Several gpx lines, a relative path taken from the file's folder; the command line's files are
  // shown too, each path once.
  EXPECT_EQ(config.gpxFiles,
            (std::vector<std::string>{"/home/u/.config/ambrel/walks/sunday.gpx", "/data/ride.gpx"}));
  EXPECT_EQ(ambrel::ChooseGpxFiles({"/data/ride.gpx", "today.gpx"}, config.gpxFiles),
            (std::vector<std::string>{"/home/u/.config/ambrel/walks/sunday.gpx", "/data/ride.gpx", "today.gpx"}));
  const ConfigFile empty = ambrel::ParseConfigFile("contact = \n\n", "f");
  EXPECT_FALSE(empty.values.contact.has_value());
  EXPECT_TRUE(empty.warnings.empty());
}

TEST(AmbrelSettingsPrecedence, EachValueComesFromTheCommandLineElseTheEnvironmentElseTheFile) {
  const TileSettingValues file{"mbtiles:/file.mbtiles", "file@example.org"};
  const TileSettingValues environment{"mbtiles:/env.mbtiles", std::nullopt};
  const TileSettingValues commandLine{std::nullopt, "cli@example.org"};
  auto s = ambrel::ResolveTileSettings(commandLine, environment, file, "/home/u/.config/ambrel/ambrel.conf");
  EXPECT_EQ(s.tiles.value, "mbtiles:/env.mbtiles");
  EXPECT_EQ(s.tiles.origin, "AMBREL_TILES");
  EXPECT_EQ(s.contact.value, "cli@example.org");
  EXPECT_EQ(s.contact.origin, "--contact");

  s = ambrel::ResolveTileSettings({"default", std::nullopt}, {"", ""}, file, "/c/ambrel.conf");
  EXPECT_EQ(s.tiles.value, "default");
  EXPECT_EQ(s.contact.value, "file@example.org");  // an empty variable counts as unset
  EXPECT_EQ(s.contact.origin, "/c/ambrel.conf");

  s = ambrel::ResolveTileSettings({}, {}, {}, "/c/ambrel.conf");
  EXPECT_TRUE(s.tiles.origin.empty());  // nothing set: the program's own map
  EXPECT_TRUE(s.contact.origin.empty());
}

TEST(AmbrelSettingsPaths, TheConfigFileFollowsTheBaseDirectoriesAndTheWorldMapIsBesideTheProgram) {
  EXPECT_EQ(ambrel::ConfigFilePath("/x/cfg", "/home/u"), "/x/cfg/ambrel/ambrel.conf");
  EXPECT_EQ(ambrel::ConfigFilePath("relative", "/home/u"), "/home/u/.config/ambrel/ambrel.conf");
  EXPECT_EQ(ambrel::ConfigFilePath("", "/home/u"), "/home/u/.config/ambrel/ambrel.conf");
  EXPECT_EQ(ambrel::ConfigFilePath(std::nullopt, std::nullopt), "");

  EXPECT_EQ(ambrel::EmbeddedMapCandidates("/opt/am brel/bin/ambrel"),
            (std::vector<std::string>{"/opt/am brel/share/orvanmap/world.mbtiles", "/opt/am brel/resources/world.mbtiles"}));
  EXPECT_EQ(ambrel::EmbeddedMapCandidates("/bin/ambrel"),
            (std::vector<std::string>{"/share/orvanmap/world.mbtiles", "/resources/world.mbtiles"}));
}

}  // namespace
