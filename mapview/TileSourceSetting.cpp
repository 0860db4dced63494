#include "mapview/TileSourceSetting.h"

#include <memory>

#include "mapview/ViewPosition.h"
#include "platform/kernel/WideText.h"
#include "tilesources/SourceChoice.h"

namespace {

// The program named in the User-Agent of upstream requests.
constexpr const char* kProgram = "OrvanMapLib";
// The tile servers of the URL rule, through the device's HTTP client.
constexpr const char* kDefaultSource = "default";

}  // namespace

void UpdateAttribution(OMMapView* view) {
  const std::string& text = view->attributionOverride.empty() ? view->sourceAttribution : view->attributionOverride;
  view->attributionShown = Utf8ToUtf16(text);
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, FALSE);
}

int32_t SetTileSource(OMMapView* view, const char* text) {
  const tilesources::SourceChoiceParse parsed = tilesources::ParseSourceChoice(text, kDefaultSource);
  if (!parsed.choice) {
    view->lastError = parsed.error;
    return 0;
  }
  std::shared_ptr<ExternalTileSource> external;
  std::string attribution;
  if (parsed.choice->kind != tilesources::SourceKind::Word) {
    tilesources::SourceSettings settings;
    settings.program = kProgram;
    settings.contact = view->tileContact;
    tilesources::OpenedSource opened = tilesources::OpenSource(*parsed.choice, settings);
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
  view->sourceText = parsed.choice->text;
  view->sourceAttribution = attribution;
  view->lastError.clear();
  UpdateAttribution(view);
  if (view->projection != nullptr) ZoomTo(view, view->zoom);
  return 1;
}
