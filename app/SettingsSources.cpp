#include "app/SettingsSources.h"

#include <cstdio>
#include <optional>

#include "platform/kernel/CommandLine.h"
#include "platform/kernel/DebugOutput.h"
#include "platform/kernel/ProcessEnvironment.h"
#include "platform/kernel/WideText.h"

namespace ambrel {

namespace {

constexpr DWORD kConfigFileLimit = 64 * 1024;  // bytes; a config file is a few lines
constexpr DWORD kPathCapacity = 4096;

std::optional<std::string> Variable(const char16_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::u16string value(needed, u'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
  if (length == 0 || length >= needed) return std::nullopt;  // changed meanwhile
  value.resize(length);
  return Utf16ToUtf8(value);
}

ConfigFile ReadConfigFile(const std::string& path) {
  if (path.empty()) return {};
  std::string text;
  if (!ReadSmallFile(Utf8ToUtf16(path).c_str(), kConfigFileLimit, &text)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    ConfigFile unreadable;
    unreadable.warnings.push_back(path + (error == ERROR_FILE_TOO_LARGE ? ": larger than 64 KiB, ignored"
                                                                        : ": cannot be read, ignored"));
    return unreadable;
  }
  return ParseConfigFile(text, path);
}

std::string ExecutablePath() {
  char16_t path[kPathCapacity] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, kPathCapacity);
  return length == 0 || length >= kPathCapacity ? std::string() : Utf16ToUtf8(std::u16string(path, length));
}

}  // namespace

void Say(const std::string& line) { OutputDebugStringW(Utf8ToUtf16("ambrel: " + line + "\n").c_str()); }

std::vector<std::string> ArgumentsOf(LPCWSTR commandLine) {
  std::vector<std::string> arguments;
  if (commandLine == nullptr) return arguments;
  for (const std::u16string& argument : SplitCommandLine(commandLine)) arguments.push_back(Utf16ToUtf8(argument));
  return arguments;
}

StartSettings ChooseSettings(const Arguments& arguments) {
  const TileSettingValues& commandLine = arguments.values;
  const TileSettingValues environment{Variable(u"AMBREL_TILES"), Variable(u"AMBREL_CONTACT")};
  const std::string configPath = ConfigFilePath(Variable(u"XDG_CONFIG_HOME"), Variable(u"HOME"));
  const ConfigFile config = ReadConfigFile(configPath);
  for (const std::string& warning : config.warnings) Say(warning);
  const TileSettings settings = ResolveTileSettings(commandLine, environment, config.values, configPath);

  StartSettings start;
  start.gpxFiles = ChooseGpxFiles(arguments.gpxFiles, config.gpxFiles);
  TileChoice& choice = start.tiles;
  choice.contact = settings.contact.value;
  if (!settings.tiles.origin.empty()) {
    choice.source = settings.tiles.value;
    choice.origin = settings.tiles.origin;
    return start;
  }
  const std::string executable = ExecutablePath();
  const std::vector<std::string> candidates =
      executable.empty() ? std::vector<std::string>{} : EmbeddedMapCandidates(executable);
  for (const std::string& candidate : candidates) {
    if (GetFileAttributesW(Utf8ToUtf16(candidate).c_str()) == FILE_ATTRIBUTE_NORMAL) {
      choice.source = "mbtiles:" + candidate;
      choice.embedded = true;
      Say("tiles: " + choice.source + " (the map installed with the program)");
      return start;
    }
  }
  choice.source = "default";
  std::string searched;
  for (const std::string& candidate : candidates) searched += (searched.empty() ? "" : ", ") + candidate;
  Say("tiles: default (no map installed with the program" + (searched.empty() ? "" : " at " + searched) +
      "; set --tiles or AMBREL_TILES)");
  return start;
}

int RefuseSetting(HWND owner, const std::string& problem) {
  Say(problem);
  MessageBoxW(owner, Utf8ToUtf16(problem).c_str(), u"Ambrel", MB_OK | MB_ICONERROR);
  return kExitBadSettings;
}

void PrintToOutput(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace ambrel
