#include "app/GpxOverlay.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>

#include "app/GpxTracks.h"
#include "app/SettingsSources.h"
#include "gpx/GpxParser.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/WideText.h"

namespace ambrel {

namespace {

// The pin's tip, the built-in pin's pixel (9, 29), on the waypoint.
constexpr int32_t kPinTipX = 9;
constexpr int32_t kPinTipY = 29;

struct GpxRead {
  HWND window = nullptr;
  std::vector<std::string> paths;
  std::vector<gpx::GpxFile> files;  // written by the reading thread until it posts kMessageGpxRead
  std::atomic<bool> cancelled{false};
};

// GUI thread only.
std::unique_ptr<GpxRead> reading;
HANDLE readingThread = nullptr;
std::map<int32_t, gpx::Waypoint> waypointsByMarker;
std::vector<std::string> unread;

DWORD ReadAll(LPVOID parameter) {
  auto* read = static_cast<GpxRead*>(parameter);
  for (const std::string& path : read->paths) {
    if (read->cancelled.load()) break;
    read->files.push_back(gpx::ReadGpxFile(path, &read->cancelled));
  }
  // A window that went meanwhile refuses the message.
  PostMessageW(read->window, kMessageGpxRead, 0, 0);
  return 0;
}

void AwaitReadingThread() {
  if (readingThread == nullptr) return;
  WaitForSingleObject(readingThread, INFINITE);
  CloseHandle(readingThread);
  readingThread = nullptr;
}

void OnMarkerTapped(OMMapView*, int32_t markerId, void* window) {
  // Shown from the main window's message, once the control has finished with the stylus.
  PostMessageW(static_cast<HWND>(window), kMessageShowWaypoint, static_cast<WPARAM>(markerId), 0);
}

}  // namespace

bool StartReadingGpx(HWND mainWindow, const std::vector<std::string>& paths) {
  if (reading != nullptr) return false;
  reading = std::make_unique<GpxRead>();
  reading->window = mainWindow;
  reading->paths = paths;
  readingThread = CreateThread(nullptr, 0, ReadAll, reading.get(), 0, nullptr);
  if (readingThread == nullptr) {
    reading.reset();
    return false;
  }
  return true;
}

bool ShowGpxRead(OMMapView* view, int32_t mapType) {
  if (reading == nullptr) return false;
  AwaitReadingThread();  // it posted its last message: the wait is over at once
  std::vector<gpx::GpxData> shown;
  for (size_t i = 0; i < reading->files.size(); ++i) {
    gpx::GpxFile& file = reading->files[i];
    if (!file.error.empty()) {
      unread.push_back(file.error);
      continue;
    }
    for (const gpx::Waypoint& waypoint : file.data.waypoints) {
      const int32_t id = OMMapViewAddMarker(view, waypoint.position.latitude, waypoint.position.longitude, nullptr, 0,
                                            kPinTipX, kPinTipY);
      if (id != 0) waypointsByMarker[id] = waypoint;
    }
    if (const std::string refused = ShowGpxTracks(view, file.data.lines); !refused.empty())
      Say(reading->paths[i] + ": a track is not shown: " + refused);
    shown.push_back(std::move(file.data));
  }
  const HWND window = reading->window;
  reading.reset();
  if (!waypointsByMarker.empty()) OMMapViewSetMarkerTapHandler(view, OnMarkerTapped, window);

  gpx::LatLonBox box;
  if (!gpx::BoundsOf(shown, &box)) return false;
  // Set at a zoom without a tile level, the map asks for no tile before the fit chooses its zoom.
  if (OMMapViewSetMap(view, mapType, (box.south + box.north) / 2, (box.west + box.east) / 2, 0.0) == 0 ||
      OMMapViewFitBounds(view, box.south, box.west, box.north, box.east) == 0) {
    return false;
  }
  // The fit keeps the points inside the window, centred; a pin stands above its point and reaches
  // kPinTipX pixels to each side. When the box leaves less room than that above it or beside it,
  // one level out does (the box then takes at most half the window's height and width).
  int32_t x = 0, y = 0;
  if (!waypointsByMarker.empty() && OMMapViewLatLonToPoint(view, box.north, box.west, &x, &y) &&
      (y < kPinTipY || x < kPinTipX + 1)) {
    OMMapViewZoomOut(view);
  }
  return true;
}

void ReportUnreadGpx(HWND mainWindow) {
  if (unread.empty()) return;
  std::string text;
  for (const std::string& line : unread) {
    Say(line);
    text += line + "\n";
  }
  text += unread.size() == 1 ? "The map is shown without this file." : "The map is shown without these files.";
  unread.clear();
  MessageBoxW(mainWindow, Utf8ToUtf16(text).c_str(), kUnreadGpxCaption, MB_OK | MB_ICONERROR);
}

void ShowWaypoint(HWND mainWindow, int32_t markerId) {
  const auto found = waypointsByMarker.find(markerId);
  if (found == waypointsByMarker.end()) return;
  const gpx::Waypoint& waypoint = found->second;
  char position[64];
  std::snprintf(position, sizeof position, "%.5f, %.5f", waypoint.position.latitude, waypoint.position.longitude);
  const std::string name = waypoint.name.empty() ? "Waypoint" : waypoint.name;
  MessageBoxW(mainWindow, Utf8ToUtf16(name + "\n" + position).c_str(), Utf8ToUtf16(name).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

void StopReadingGpx() {
  if (reading != nullptr) reading->cancelled.store(true);
  AwaitReadingThread();
  reading.reset();
  waypointsByMarker.clear();
  unread.clear();
}

}  // namespace ambrel
