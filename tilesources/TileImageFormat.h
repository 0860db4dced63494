// The image formats tiles come in (an MBTiles file's "format", an upstream's answers): told by
// their first bytes, and named for Content-Type.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tilesources {

enum class TileImageFormat { Png, Jpeg, Webp };

// PNG, JPEG or WebP by signature; nullopt for anything else (an error page, a vector tile).
std::optional<TileImageFormat> SniffTileImage(std::string_view bytes);

// An MBTiles "format" value ("png", "jpg", "webp"; "jpeg" too), case-insensitive.
std::optional<TileImageFormat> TileImageFormatNamed(std::string_view name);

const char* ContentTypeOf(TileImageFormat format);  // "image/png", "image/jpeg", "image/webp"
const char* FormatName(TileImageFormat format);     // "png", "jpg", "webp"

}  // namespace tilesources
