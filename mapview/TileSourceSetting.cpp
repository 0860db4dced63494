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
// How long SetTileSource may check a whole file: about a frame.
constexpr int kCheckWithinFrameMs = 16;

}  // namespace

void UpdateAttribution(OMMapView* view) {
  const std::string& text = view->attributionOverride.empty() ? view->sourceAttribution : view->attributionOverride;
  view->attributionShown = Utf8ToUtf16(text);
  if (view->window != nullptr) InvalidateRect(view->window, nullptr, FALSE);
}

namespace {

// The source bound now, when `choice` names it again and opening it again would read the same: its
// workers and file connections are kept.
std::shared_ptr<const ExternalTileSource> SameSourceAgain(const OMMapView* view,
                                                          const tilesources::SourceChoice& choice) {
  const std::shared_ptr<const ExternalTileSource>& bound = view->tileLayer.cache.external;
  if (bound == nullptr || choice.text != view->sourceText || bound->contact != view->tileContact) return nullptr;
  return bound->source->Unchanged() ? bound : nullptr;
}

}  // namespace

int32_t SetTileSource(OMMapView* view, const char* text) {
  const tilesources::SourceChoiceParse parsed = tilesources::ParseSourceChoice(text, kDefaultSource);
  if (!parsed.choice) {
    view->lastError = parsed.error;
    return 0;
  }
  std::shared_ptr<const ExternalTileSource> external;
  std::string attribution;
  if (parsed.choice->kind != tilesources::SourceKind::Word) {
    external = SameSourceAgain(view, *parsed.choice);
    attribution = view->sourceAttribution;
  }
  if (parsed.choice->kind != tilesources::SourceKind::Word && external == nullptr) {
    tilesources::SourceSettings settings;
    settings.program = kProgram;
    settings.contact = view->tileContact;
    // Opening runs on the GUI thread: a file too large to check within a frame is read unchecked
    // (damage found later fails the tiles it touches, drawn as missing tiles).
    settings.wholeFileCheckMs = kCheckWithinFrameMs;
    tilesources::OpenedSource opened = tilesources::OpenSource(*parsed.choice, settings);
    if (!opened.source) {
      view->lastError = tilesources::OneLine(opened.error);
      return 0;
    }
    attribution = opened.source->Attribution();
    const tilesources::SourceLevels levels = opened.source->Levels();
    // Tiles cost CPU (reading, decoding): one worker a core. A service's downloads hold no worker
    // (they wait on the network thread), so it needs no more than a file does.
    const size_t readers = TileReadQueue::LocalWorkers();
    external = std::make_shared<ExternalTileSource>(std::move(opened.source), levels, readers, view->tileContact);
  }
  // The old tiles go first (a read still under way is cancelled, not awaited), then new tiles come
  // from the source: a source set again is read afresh too.
  view->tileLayer.cache.Clear();
  view->tileLayer.cache.external = std::move(external);
  view->sourceText = parsed.choice->text;
  view->sourceAttribution = attribution;
  view->lastError.clear();
  UpdateAttribution(view);
  if (view->projection != nullptr) ZoomTo(view, view->zoom);
  return 1;
}
