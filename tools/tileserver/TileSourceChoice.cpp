#include "tools/tileserver/TileSourceChoice.h"

#include "tools/tileserver/SyntheticSource.h"

namespace tileserver {

TileSourceChoiceParse ParseTileSourceChoice(std::string_view text) {
  TileSourceChoiceParse result;
  tilesources::SourceChoiceParse parsed = tilesources::ParseSourceChoice(text, "synthetic");
  if (!parsed.choice) {
    result.error = parsed.error;
    return result;
  }
  result.choice = *parsed.choice;
  return result;
}

std::string UpstreamUserAgent(const std::string& contact) {
  return tilesources::UpstreamUserAgent(SourceSettings{}.program, contact);
}

OpenedSource OpenTileSource(const TileSourceChoice& choice, const SourceSettings& settings, EncodedTileCache& synthetic,
                            int64_t startMs) {
  OpenedSource opened;
  if (choice.kind == SourceKind::Word) {
    opened.source = std::make_unique<SyntheticSource>(synthetic, startMs, settings.maxAgeSeconds);
    return opened;
  }
  if (choice.kind == SourceKind::Upstream && settings.contact.empty()) {
    opened.error =
        "an upstream source needs --contact (an e-mail address or web page where the tile "
        "service's operators can reach you; it goes into the User-Agent)";
    return opened;
  }
  tilesources::OpenedSource library = tilesources::OpenSource(choice, settings);
  if (!library.source) {
    opened.error = library.error;
    return opened;
  }
  opened.source = std::make_unique<LibraryTileSource>(std::move(library.source));
  opened.note = library.note;
  return opened;
}

}  // namespace tileserver
