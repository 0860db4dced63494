// Ambrel's settings: the command line, the environment (AMBREL_TILES, AMBREL_CONTACT) and the
// config file (`key = value` lines), and which one wins: the command line, then the environment,
// then the file. Pure text in, text out: the caller reads the sources (app/SettingsSources.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ambrel {

// The tile source and the operator's contact, as far as one source of settings gives them.
struct TileSettingValues {
  std::optional<std::string> tiles;
  std::optional<std::string> contact;
};

struct Arguments {
  bool help = false;
  bool version = false;
  TileSettingValues values;
  std::vector<std::string> gpxFiles;  // --gpx, in the order given
  std::string error;  // one line naming the problem; empty when the command line is good
};

// `--tiles SOURCE`, `--tiles=SOURCE`, `--contact TEXT`, `--contact=TEXT`, `--gpx FILE`,
// `--gpx=FILE`, `--help`/`-h`, `--version`. Anything else (an unknown option, a bare word, an
// option without its value) is an error; a later --tiles or --contact replaces an earlier one,
// each --gpx adds a file.
Arguments ParseArguments(const std::vector<std::string>& arguments);

struct ConfigFile {
  TileSettingValues values;
  std::vector<std::string> gpxFiles;  // `gpx` lines, in order; relative paths from the file's folder
  std::vector<std::string> warnings;  // one line each: "FILE:LINE: ..."
};

// `key = value` lines (`tiles`, `contact`, `gpx`, the last as often as wanted) with white space around either trimmed; blank lines and
// lines whose first non-blank character is `#` are skipped; a later line replaces an earlier one.
// An unknown key or a line without `=` gives a warning and is skipped. An empty value sets nothing.
ConfigFile ParseConfigFile(std::string_view text, std::string_view fileName);

// Where a value came from, for the start-up line and the error messages.
struct ChosenValue {
  std::string value;
  std::string origin;  // "--tiles", "AMBREL_TILES", the config file's path; empty when unset
};

struct TileSettings {
  ChosenValue tiles;  // unset: the program's own map (EmbeddedMapCandidates), else "default"
  ChosenValue contact;
};

// Each value from the command line if given there, else from the environment, else from the file.
TileSettings ResolveTileSettings(const TileSettingValues& commandLine, const TileSettingValues& environment,
                                 const TileSettingValues& file, const std::string& fileName);

// The GPX files to show: the config file's, then the command line's, each path once.
std::vector<std::string> ChooseGpxFiles(const std::vector<std::string>& commandLine,
                                        const std::vector<std::string>& file);

// Where the config file is: $XDG_CONFIG_HOME/ambrel/ambrel.conf when that variable is an absolute
// path, else $HOME/.config/ambrel/ambrel.conf; empty when neither is known.
std::string ConfigFilePath(const std::optional<std::string>& xdgConfigHome, const std::optional<std::string>& home);

// Where the world map that comes with the program may be, first choice first, for an executable
// at `executablePath`: installed, <prefix>/share/orvanmap/world.mbtiles beside <prefix>/bin; in
// the build tree, <build>/resources/world.mbtiles beside <build>/app.
std::vector<std::string> EmbeddedMapCandidates(const std::string& executablePath);

std::string UsageText();
std::string VersionText();

}  // namespace ambrel
