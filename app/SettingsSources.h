// Reads Ambrel's settings from where the device keeps them (the command line, the environment, the
// config file) and finds the world map installed with the program; reports a bad setting.
#pragma once

#include <string>
#include <vector>

#include "app/AmbrelSettings.h"
#include "platform/ui/Windows.h"

namespace ambrel {

// The exit status of a program refused its settings (a bad option, a tile source it cannot use).
constexpr int kExitBadSettings = 2;

// The tile source the program starts with.
struct TileChoice {
  std::string source;    // "default", "mbtiles:PATH" or "upstream:TEMPLATE"
  std::string contact;  // empty: none given
  std::string origin;     // where the source was set ("--tiles", "AMBREL_TILES", the config file)
  bool embedded = false;  // the world map installed with the program, chosen because nothing was set
};

// What the program starts with: its tiles and the GPX files to show over them.
struct StartSettings {
  TileChoice tiles;
  std::vector<std::string> gpxFiles;
};

// The program's arguments, from the command line the device hands its entry point.
std::vector<std::string> ArgumentsOf(LPCWSTR commandLine);

// The tile source and contact from the command line's values, the environment and the config file,
// in that order; with none set, the world map installed with the program, else "default", with one
// line naming the one chosen. The GPX files: the config file's and the command line's
// (ChooseGpxFiles). Config-file warnings go to the debugger output, a line each.
StartSettings ChooseSettings(const Arguments& arguments);

// One line "ambrel: TEXT" to the debugger output.
void Say(const std::string& line);

// One line "ambrel: PROBLEM" to the debugger output and a message box with it over `owner` (null:
// none); returns kExitBadSettings once the user dismissed it.
int RefuseSetting(HWND owner, const std::string& problem);

// Writes text to the program's standard output (--help, --version).
void PrintToOutput(const std::string& text);

}  // namespace ambrel
