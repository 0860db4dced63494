#include "mapview/TileSourceSetting.h"

#include <memory>

#include "mapview/ViewPosition.h"
#include "platform/kernel/WideText.h"
#include "tilesources/SourceSpec.h"

namespace {

// The program named in the User-Agent of upstream requests.
constexpr const char* kProgram = "OrvanMapLib";

}  // namespace

void UpdateAttribution(OMMapView* view) {
  const std::string& text = view->attributionOverride.empty() ? view->sourceAttribution : view->attributionOverride;
  view->attributionShown = Utf8ToUtf16(text);
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, FALSE);
}

int32_t SetTileSource(OMMapView* view, const char* spec) {
  const tilesources::SourceSpecParse parsed = tilesources::ParseSourceSpec(spec);
  if (!parsed.spec) {
    view->lastError = parsed.error;
    return 0;
  }
  std::shared_ptr<ExternalTileSource> external;
  std::string attribution;
  if (parsed.spec->kind == tilesources::SourceKind::Word) {
    if (parsed.spec->text != "default") {
      view->lastError = "\"" + parsed.spec->text + "\": a tile source is default, mbtiles:FILE or upstream:TEMPLATE";
      return 0;
    }
  } else {
    tilesources::SourceSettings settings;
    settings.program = kProgram;
    settings.contact = view->tileContact;
    tilesources::OpenedSource opened = tilesources::OpenSource(*parsed.spec, settings);
    if (!opened.source) {
      view->lastError = tilesources::OneLine(opened.error);
      return 0;
    }
    external = std::make_shared<ExternalTileSource>();
    external->levels = opened.source->Levels();
    attribution = opened.source->Attribution();
    external->source = std::move(opened.source);
  }
  // The old tiles go first (a read of the old source still under way is cancelled, not awaited),
  // then new tiles come from the new source.
  view->tileLayer.cache.Clear();
  view->tileLayer.cache.external = std::move(external);
  view->sourceSpec = parsed.spec->text;
  view->sourceAttribution = attribution;
  view->lastError.clear();
  UpdateAttribution(view);
  if (view->projection != nullptr) ZoomTo(view, view->zoom);
  return 1;
}
