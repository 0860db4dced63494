// One map tile: its key (column, row, zoom), the projection that places it and names its URL, its
// download and, once downloaded, its image bytes. It reports to the callback of its latest Start.
//
// Its state follows from its parts: downloading while the fetcher has a worker; loaded when not
// downloading and the buffer holds at least one byte; empty otherwise.
#pragma once

#include <cstdint>

#include <memory>

#include "net/HttpFetcher.h"
#include "net/ReceiveBuffer.h"
#include "projection/MapProjection.h"
#include "tiles/ExternalTileSource.h"
#include "tiles/SourceFetch.h"
#include "tiles/TileDrawInfo.h"

class Tile {
 public:
  static constexpr size_t kUrlCapacity = 1024;
  static constexpr uint16_t kTilePort = 80;

  Tile(int32_t column, int32_t row, double zoom, MapProjection* projection);
  // Cancels and awaits a running download, drops the callback and gives the bytes back; no report
  // can arrive after it returns.
  ~Tile();
  Tile(const Tile&) = delete;
  Tile& operator=(const Tile&) = delete;

  // 1 when the tile's pixel rectangle touches the given one (see RectsTouch), else 0.
  int32_t IsVisibleIn(int32_t left, int32_t top, int32_t right, int32_t bottom);
  int32_t IsLoaded();
  // A download or an external read is under way.
  bool Downloading() const { return fetcher.HasWorker() || sourceFetch.Running(); }
  // Stores the callback, then reports at once from the stored bytes (1) or starts the download
  // (1 when its worker started, else 0). The caller cancels any running download first.
  int32_t Start(TileReadyCallback callback, void* context);
  void Report(const uint8_t* data, uint32_t count);

  static void OnDownloadSucceeded(const uint8_t* data, uint32_t count, void* context);
  static void OnDownloadFailed(const uint8_t* data, uint32_t count, void* context);

  const int32_t tileX;
  const int32_t tileY;
  const double zoom;
  TileReadyCallback callback = nullptr;
  void* callbackContext = nullptr;
  MapProjection* const projection;
  HttpFetcher fetcher;
  ReceiveBuffer buffer;
  // Set by the cache when the view reads tiles from a source of the tile-source library; then the
  // tile is read through `sourceFetch` instead of `fetcher`.
  std::shared_ptr<const ExternalTileSource> external;
  SourceFetch sourceFetch;

 private:
  bool StartExternal();
  // How many levels this tile lies below the external source's deepest (0: the source has it).
  int32_t OverZoomLevels() const;
};

// Whether two rectangles (left, top, right, bottom; every bound inclusive) touch: one of the four
// corners of `a`, or of `b`, lies inside the other. Two rectangles crossing like a plus sign, with
// no corner inside the other, do not touch by this rule.
bool RectsTouch(const PixelRect& a, const PixelRect& b);
