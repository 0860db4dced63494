#include "tilesources/TileImageFormat.h"

#include <algorithm>
#include <cctype>

namespace tilesources {

std::optional<TileImageFormat> SniffTileImage(std::string_view b) {
  if (b.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return TileImageFormat::Png;
  if (b.substr(0, 3) == "\xFF\xD8\xFF") return TileImageFormat::Jpeg;
  if (b.size() >= 12 && b.substr(0, 4) == "RIFF" && b.substr(8, 4) == "WEBP") return TileImageFormat::Webp;
  return std::nullopt;
}

std::optional<TileImageFormat> TileImageFormatNamed(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower == "png") return TileImageFormat::Png;
  if (lower == "jpg" || lower == "jpeg") return TileImageFormat::Jpeg;
  if (lower == "webp") return TileImageFormat::Webp;
  return std::nullopt;
}

const char* ContentTypeOf(TileImageFormat format) {
  switch (format) {
    case TileImageFormat::Png: return "image/png";
    case TileImageFormat::Jpeg: return "image/jpeg";
    case TileImageFormat::Webp: return "image/webp";
  }
  return "application/octet-stream";
}

const char* FormatName(TileImageFormat format) {
  switch (format) {
    case TileImageFormat::Png: return "png";
    case TileImageFormat::Jpeg: return "jpg";
    case TileImageFormat::Webp: return "webp";
  }
  return "?";
}

}  // namespace tilesources
