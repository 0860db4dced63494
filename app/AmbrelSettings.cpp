#include "app/AmbrelSettings.h"

#include <algorithm>

namespace ambrel {

namespace {

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The parent folder of a path ("/a/b/c" -> "/a/b"); "" for a bare name, "/" for a top-level entry.
std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void Choose(ChosenValue& chosen, const std::optional<std::string>& commandLine, const char* option,
            const std::optional<std::string>& environment, const char* variable,
            const std::optional<std::string>& file, const std::string& fileName) {
  if (commandLine) {
    chosen = {*commandLine, option};
  } else if (environment && !environment->empty()) {
    chosen = {*environment, variable};
  } else if (file) {
    chosen = {*file, fileName};
  }
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& arguments) {
  Arguments parsed;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      parsed.help = true;
      continue;
    }
    if (argument == "--version") {
      parsed.version = true;
      continue;
    }
    if (argument == "--gpx" || argument.rfind("--gpx=", 0) == 0) {
      if (argument == "--gpx" && i + 1 == arguments.size()) {
        parsed.error = "--gpx needs a value (see ambrel --help)";
        return parsed;
      }
      parsed.gpxFiles.push_back(argument == "--gpx" ? arguments[++i] : argument.substr(6));
      continue;
    }
    bool matched = false;
    for (auto [name, slot] : {std::pair{std::string("--tiles"), &parsed.values.tiles},
                              std::pair{std::string("--contact"), &parsed.values.contact}}) {
      if (argument == name) {
        if (i + 1 == arguments.size()) {
          parsed.error = name + " needs a value (see ambrel --help)";
          return parsed;
        }
        *slot = arguments[++i];
        matched = true;
      } else if (argument.rfind(name + "=", 0) == 0) {
        *slot = argument.substr(name.size() + 1);
        matched = true;
      }
    }
    if (!matched) {
      parsed.error = (argument.rfind('-', 0) == 0 ? "unknown option '" : "unexpected argument '") + argument +
                     "' (see ambrel --help)";
      return parsed;
    }
  }
  return parsed;
}

ConfigFile ParseConfigFile(std::string_view text, std::string_view fileName) {
  ConfigFile config;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // a byte-order mark some editors write
  size_t lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const std::string where = std::string(fileName) + ":" + std::to_string(lineNumber) + ": ";
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      config.warnings.push_back(where + "not a 'key = value' line, ignored");
      continue;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key == "gpx") {
      if (value.empty()) continue;
      const std::string folder = Parent(std::string(fileName));
      config.gpxFiles.push_back(value.front() == '/' || folder.empty() ? std::string(value)
                                                                       : folder + "/" + std::string(value));
      continue;
    }
    std::optional<std::string>* slot = key == "tiles"     ? &config.values.tiles
                                       : key == "contact" ? &config.values.contact
                                                          : nullptr;
    if (slot == nullptr) {
      config.warnings.push_back(where + "unknown setting '" + std::string(key) + "', ignored");
    } else if (!value.empty()) {
      *slot = std::string(value);
    }
  }
  return config;
}

TileSettings ResolveTileSettings(const TileSettingValues& commandLine, const TileSettingValues& environment,
                                 const TileSettingValues& file, const std::string& fileName) {
  TileSettings settings;
  Choose(settings.tiles, commandLine.tiles, "--tiles", environment.tiles, "AMBREL_TILES", file.tiles, fileName);
  Choose(settings.contact, commandLine.contact, "--contact", environment.contact, "AMBREL_CONTACT", file.contact,
         fileName);
  return settings;
}

std::vector<std::string> ChooseGpxFiles(const std::vector<std::string>& commandLine,
                                        const std::vector<std::string>& file) {
  std::vector<std::string> chosen;
  for (const std::vector<std::string>* list : {&file, &commandLine})
    for (const std::string& path : *list)
      if (std::find(chosen.begin(), chosen.end(), path) == chosen.end()) chosen.push_back(path);
  return chosen;
}

std::string ConfigFilePath(const std::optional<std::string>& xdgConfigHome, const std::optional<std::string>& home) {
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
  if (xdgConfigHome && !xdgConfigHome->empty() && xdgConfigHome->front() == '/') {
    return *xdgConfigHome + "/ambrel/ambrel.conf";
  }
  if (home && !home->empty()) return *home + "/.config/ambrel/ambrel.conf";
  return "";
}

std::vector<std::string> EmbeddedMapCandidates(const std::string& executablePath) {
  const std::string above = Parent(Parent(executablePath));
  const std::string base = above == "/" ? "" : above;
  return {base + "/share/orvanmap/world.mbtiles", base + "/resources/world.mbtiles"};
}

std::string UsageText() {
  return "Usage: ambrel [--tiles SOURCE] [--contact TEXT] [--gpx FILE]...\n"
         "       ambrel --help | --version\n"
         "Shows a street map with zoom and home buttons.\n"
         "\n"
         "  --tiles SOURCE     where map tiles come from:\n"
         "                     mbtiles:PATH        an MBTiles file (offline)\n"
         "                     upstream:TEMPLATE   a tile service, e.g.\n"
         "                                         upstream:https://tiles.example.org/{z}/{x}/{y}.png\n"
         "                     default             the device's own tile servers\n"
         "  --contact TEXT   your e-mail address or web page, sent to tile services in the\n"
         "                   User-Agent as their usage policies ask (needed for upstream:)\n"
         "  --gpx FILE       show a GPX file's tracks, routes and waypoints (tap a waypoint\n"
         "                   for its name); the map opens on all of them. Repeatable\n"
         "  --help           this text\n"
         "  --version        the program's version\n"
         "\n"
         "The same settings come from the environment (AMBREL_TILES, AMBREL_CONTACT) and from\n"
         "$XDG_CONFIG_HOME/ambrel/ambrel.conf (else ~/.config/ambrel/ambrel.conf), lines\n"
         "'tiles = SOURCE', 'contact = TEXT' and 'gpx = FILE' (several allowed). The command\n"
         "line wins, then the environment, then the file; GPX files from the file and the\n"
         "command line are all shown. With no tiles set, Ambrel shows the world map installed\n"
         "with it. A GPX file that cannot be read is named on stderr and in a message box,\n"
         "and the map starts without it.\n";
}

std::string VersionText() { return std::string("ambrel ") + AMBREL_VERSION + "\n"; }

}  // namespace ambrel
