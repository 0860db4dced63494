// The control object behind a view handle: what the control knows about its window, its position,
// its two off-screen layers and its tiles. Fields keep the order the control was designed with;
// the few fields after `lock` serve this implementation only.
//
// Threads: every field is written on the GUI thread. A download thread delivering a tile reads
// `window`, `bufferRect` and `mapDC` under `lock` only, and the event pair under `handlerLock`.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mapview/OMMapView.h"
#include "platform/gfx/Gdi.h"
#include "platform/kernel/CriticalSection.h"
#include "platform/ui/Windows.h"
#include "projection/MercatorProjection.h"
#include "tiles/TileLayer.h"

struct MapMarker;  // mapview/MapMarkers.h
struct MapTrack;   // mapview/MapTracks.h
struct MapPicture;  // mapview/MapPicture.h

struct OMMapView {
  OMMapView();
  // Releases `lock` only. Tearing the control down (downloads, layers, registry entry) is
  // DestroyMapView's job, which must run first.
  ~OMMapView();
  OMMapView(const OMMapView&) = delete;
  OMMapView& operator=(const OMMapView&) = delete;

  HWND window = nullptr;
  HINSTANCE instance = nullptr;
  double latitude = 0.0;
  double longitude = 0.0;
  int32_t centerX = 0;
  int32_t centerY = 0;
  PixelRect bufferRect{0, 0, 0, 0};  // world pixels the layers cover; layer pixel (0, 0) is its left-top
  int32_t worldWidth = 0;            // zero until a position is applied: stylus input checks for it
  int32_t worldHeight = 0;
  PixelRect viewport{0, 0, 0, 0};  // world pixels the window shows when no offset applies
  HDC placeholderDC = nullptr;
  HBITMAP placeholderOldBitmap = nullptr;
  HDC mapDC = nullptr;
  HBITMAP mapOldBitmap = nullptr;
  SizeCounts placeholderSize{0, 0};  // the sizes the two layers' bitmaps were made at
  SizeCounts mapSize{0, 0};
  MapProjection* projection = nullptr;  // null until a map type is set; then &mercator
  MercatorProjection mercator;
  TileLayer tileLayer;
  uint8_t dragging = 0;
  int32_t dragX = 0;  // live drag offset: down point minus current point
  int32_t dragY = 0;
  int32_t pendingX = 0;  // pan not yet folded into the centre, shown by painting as an offset
  int32_t pendingY = 0;
  int32_t downX = 0;  // client point of the latest stylus-down
  int32_t downY = 0;
  double zoom = 0.0;
  double maxZoom = 0.0;
  double minZoom = 0.0;
  uint32_t userData = 0;
  EventHandler eventHandler = nullptr;
  CRITICAL_SECTION lock;  // serialises drawing into the map layer with painting and layer changes

  // The handler and its user data change together on the GUI thread while download threads fire
  // events; this keeps each firing's pair consistent (and the reads free of data races).
  std::mutex handlerLock;
  // Client point of the latest stylus message of a drag: where the drag ends when the control
  // loses the stylus capture without a stylus-up.
  int32_t lastX = 0;
  int32_t lastY = 0;

  // The view-changed callback and its user data (GUI thread only).
  OMViewChangedHandler viewChangedHandler = nullptr;
  void* viewChangedUserData = nullptr;

  // Tile sources (GUI thread only): the source in force, as written, the operator contact for upstream sources,
  // the attribution drawn at the bottom-right corner (the application's, else the source's), and
  // the reason the latest failed call failed.
  std::string sourceText = "default";
  std::string tileContact;
  std::string attributionOverride;
  std::string sourceAttribution;
  std::u16string attributionShown;
  std::string lastError;

  // Markers in the order added (drawn so, the last on top), the id the next one gets, and the
  // marker tap handler with its user data (GUI thread only). `secondTap` marks a stylus-down
  // that completed a double tap: lifting it is no tap on a marker.
  std::vector<MapMarker> markers;
  int32_t nextMarkerId = 1;
  OMMarkerTapHandler markerTapHandler = nullptr;
  void* markerTapUserData = nullptr;
  uint8_t secondTap = 0;

  // Tracks in the order added (drawn so, under the markers) and the id the next one gets (GUI
  // thread only).
  std::vector<MapTrack> tracks;
  int32_t nextTrackId = 1;
  // Counts the changes of markers and tracks (GUI thread only), so that the picture below knows
  // when to draw them again.
  uint32_t overlayGeneration = 0;

  // What painting shows, kept between paints (mapview/MapPicture.h; under `lock`), and the
  // placeholder layer's pixels (row after row, placeholderSize.width each), which it reads.
  std::unique_ptr<MapPicture> picture;
  uint32_t* placeholderBits = nullptr;

  // Desktop input (GUI thread only): the wheel's turn short of a whole notch, and where
  // OMMapViewSetMap last put the view (the Home key returns there).
  int32_t wheelRest = 0;
  uint8_t homeSet = 0;
  double homeLatitude = 0.0;
  double homeLongitude = 0.0;
  double homeZoom = 0.0;

  // Flick panning (GUI thread only; mapview/FlickGlide.h): whether it is on, the latest stylus
  // points of a drag with their tick counts (a ring), and the glide under way.
  struct StylusSample {
    DWORD time;
    int32_t x;
    int32_t y;
  };
  static constexpr int kStylusSamples = 16;
  uint8_t flickEnabled = 0;
  StylusSample samples[kStylusSamples] = {};
  int32_t sampleCount = 0;  // how many of the ring are filled; the newest is at (sampleCount - 1) % size
  uint8_t gliding = 0;
  double glideVelocityX = 0.0;  // stylus pixels per millisecond when released
  double glideVelocityY = 0.0;
  DWORD glideStart = 0;
  int32_t glideDoneX = 0;  // stylus pixels of the glide already panned
  int32_t glideDoneY = 0;
};

// Tears the control down in the order its download threads need: the tile layer first (every
// running download is cancelled and awaited, and may still draw through `lock`, the map layer and
// `window` until then), then the registry entry of its window, then the layers, then the object.
// Afterwards no event is reported and no message for the window reaches the freed object.
void DestroyMapView(OMMapView* view);
