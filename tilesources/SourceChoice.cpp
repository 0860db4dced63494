#include "tilesources/SourceChoice.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tilesources/MBTilesSource.h"
#include "tilesources/TileDiskCache.h"
#include "tilesources/UpstreamSource.h"

namespace tilesources {
namespace {

constexpr const char* kVersion = "1.0";
constexpr const char* kCacheFolder = "orvanmap";

std::string TemplateHash(const std::string& text) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a: stable across runs and builds
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
  return hex;
}

// mkdir -p; the error text, or empty.
std::string MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return part + ": " + std::strerror(errno);
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return path + ": not a folder";
  return "";
}


}  // namespace

SourceChoiceParse ParseSourceChoice(std::string_view text, std::string_view ownWord) {
  SourceChoiceParse result;
  SourceChoice choice;
  choice.text = std::string(text);
  if (text == ownWord) {
    result.choice = choice;
    return result;
  }
  const size_t colon = text.find(':');
  const std::string_view kind = text.substr(0, colon);
  const std::string_view argument = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  if (kind == "mbtiles") {
    if (argument.empty()) {
      result.error = "mbtiles: needs a file, as in mbtiles:/path/to/file.mbtiles";
      return result;
    }
    choice.kind = SourceKind::MBTiles;
  } else if (kind == "upstream") {
    const UpstreamTemplate::Parse pattern = UpstreamTemplate::FromText(argument);
    if (!pattern.value) {
      result.error = pattern.error;
      return result;
    }
    choice.kind = SourceKind::Upstream;
  } else {
    result.error = "\"" + OneLine(text) + "\": a tile source is " + std::string(ownWord) +
                   ", mbtiles:FILE or upstream:TEMPLATE";
    return result;
  }
  choice.argument = std::string(argument);
  result.choice = choice;
  return result;
}

std::string UpstreamUserAgent(const std::string& program, const std::string& contact) {
  return program + "/" + kVersion + " (+" + contact + ")";
}

std::string OneLine(std::string_view text) {
  std::string out;
  bool gap = false;
  for (const char c : text) {
    const bool control = static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    if (control) {
      gap = !out.empty();
      continue;
    }
    if (gap) out += ' ';
    gap = false;
    out += c;
  }
  return out;
}

std::string DefaultCacheDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/" + kCacheFolder;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return std::string(home) + "/.cache/" + kCacheFolder;
  return "";  // no home to keep a cache in: none
}

OpenedSource OpenSource(const SourceChoice& choice, const SourceSettings& settings) {
  OpenedSource opened;
  switch (choice.kind) {
    case SourceKind::Word: opened.error = "\"" + choice.text + "\" is not a tile source"; return opened;
    case SourceKind::MBTiles: {
      MBTilesReader::OpenResult file = MBTilesReader::Open(choice.argument, settings.wholeFileCheckMs);
      if (!file.reader) {
        opened.error = file.error;
        return opened;
      }
      opened.source = std::make_unique<MBTilesSource>(std::move(file.reader), settings.maxAgeSeconds);
      return opened;
    }
    case SourceKind::Upstream: {
      if (settings.contact.empty()) {
        opened.error =
            "an upstream source needs a contact (an e-mail address or web page where the tile "
            "service's operators can reach you; it goes into the User-Agent)";
        return opened;
      }
      const UpstreamTemplate pattern = *UpstreamTemplate::FromText(choice.argument).value;
      const std::string cacheDir = settings.cacheDir.empty() ? DefaultCacheDir() : settings.cacheDir;
      std::unique_ptr<TileDiskCache> cache;
      std::string noCache;
      if (cacheDir.empty()) {
        noCache = "no folder for it: set XDG_CACHE_HOME or HOME";
      } else if (const std::string folderError = MakeFolders(cacheDir); !folderError.empty()) {
        noCache = "its folder " + folderError;
      } else {
        TileDiskCache::OpenResult file =
            TileDiskCache::Open(cacheDir + "/upstream-" + TemplateHash(pattern.Text()) + ".mbtiles",
                                "tiles of " + pattern.Text() + ", cached by " + settings.program, settings.cacheMaxBytes,
                                settings.wholeFileCheckMs);
        cache = std::move(file.cache);
        noCache = file.error;
      }
      if (!cache) opened.note = OneLine("upstream " + pattern.Text() + " works without a disk cache: " + noCache);
      UpstreamRequestOptions requests;
      requests.userAgent = UpstreamUserAgent(settings.program, settings.contact);
      requests.useProxyEnvironment = settings.useProxyEnvironment;
      requests.caFile = settings.caFile;
      if (requests.caFile.empty()) {
        const char* caFile = std::getenv("ORVAN_TILE_CA_FILE");
        if (caFile != nullptr) requests.caFile = caFile;
      }
      auto client = std::make_unique<UpstreamClient>(std::move(requests), settings.upstreamConnections);
      opened.source = std::make_unique<UpstreamSource>(pattern, std::move(cache), std::move(client),
                                                       settings.upstreamConnections, OneLine(noCache));
      return opened;
    }
  }
  opened.error = "unknown source";
  return opened;
}

}  // namespace tilesources
