#include "app/MainWindow.h"

#include <cstdint>
#include <string>

#include "app/AboutDialog.h"
#include "app/GpxOverlay.h"
#include "app/MainWindowLayout.h"
#include "app/MapEvents.h"
#include "app/NoTilesNotice.h"
#include "app/ResourceIds.h"
#include "mapview/OMMapView.h"
#include "platform/kernel/DebugOutput.h"
#include "platform/kernel/WideText.h"
#include "platform/ui/Shell.h"

namespace ambrel {

namespace {

constexpr double kHomeLatitude = 37.433446;
constexpr double kHomeLongitude = 127.173493;
constexpr double kStartZoom = 17.0;
// The world map installed with the program holds the low levels only: it opens where it has tiles.
constexpr double kEmbeddedStartZoom = 4.0;
constexpr double kHomeZoom = 6.0;
constexpr int32_t kMapType = OMMapTypeMercator;
constexpr uint32_t kEventUserData = 10;
constexpr int kNameCapacity = 100;  // characters of the title and class-name buffers

constexpr DWORD kMainWindowStyle = WS_VISIBLE;
constexpr DWORD kMapViewStyle = WS_CHILD | WS_VISIBLE | WS_BORDER;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE;
constexpr UINT kMainClassStyle = CS_VREDRAW | CS_HREDRAW;
static_assert(kMapViewStyle == 0x50800000 && kButtonStyle == 0x50000000);

// Process-wide state, set during start-up on the GUI thread.
struct ShellState {
  HINSTANCE instance = nullptr;
  OMMapView* mapView = nullptr;  // null when the control could not be created
  HWND zoomInButton = nullptr;
  HWND zoomOutButton = nullptr;
  HWND homeButton = nullptr;
  bool defaultSource = false;  // the control reads the default tile servers
  double startZoom = kStartZoom;
  HWND menuBar = nullptr;  // null when the menu bar could not be created
  SHACTIVATEINFO activation{};
  bool laidOut = false;  // the children are placed; a new size places them again
};
ShellState shell;

HWND CreateButton(LPCWSTR text, const RECT& where, WORD id, HWND parent) {
  return CreateWindowExW(0, u"button", text, kButtonStyle, where.left, where.top, where.right - where.left,
                         where.bottom - where.top, parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)),
                         shell.instance, nullptr);
}

void CreateSoftKeyBar(HWND window) {
  SHMENUBARINFO info{};
  info.cbSize = sizeof(SHMENUBARINFO);
  info.hwndParent = window;
  info.nToolBarId = kMenuBar;
  info.hInstRes = shell.instance;
  shell.menuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
}

// Lets the window end where the soft-key bar begins, keeping its left, top and width.
void MakeRoomForMenuBar(HWND window) {
  RECT frame{};
  RECT bar{};
  if (!GetWindowRect(window, &frame) || !GetWindowRect(shell.menuBar, &bar)) return;
  const LONG barHeight = bar.bottom - bar.top;
  MoveWindow(window, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top - barHeight, FALSE);
}

// The window got a new size (the device's screen changed): the map view and the buttons are placed
// again. The layout was made for the window before it left room for the soft keys, so it is
// computed for the client area with the soft-key bar's height added back.
void LayOutAgain(HWND window) {
  if (!shell.laidOut) return;
  RECT client{};
  RECT bar{};
  GetClientRect(window, &client);
  const LONG barHeight = GetWindowRect(shell.menuBar, &bar) ? bar.bottom - bar.top : 0;
  const MainWindowLayout layout = LayOutMainWindow(client.right - client.left, client.bottom - client.top + barHeight);
  auto place = [](HWND child, const RECT& r) {
    if (child != nullptr) MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  };
  place(OMMapViewGetWindow(shell.mapView), layout.mapView);
  place(shell.zoomInButton, layout.buttons[0]);
  place(shell.zoomOutButton, layout.buttons[1]);
  place(shell.homeButton, layout.buttons[2]);
  InvalidateRect(window, nullptr, TRUE);
}

void GoHome() {
  OMMapViewSetCenter(shell.mapView, kHomeLatitude, kHomeLongitude);
  OMMapViewSetZoom(shell.mapView, kHomeZoom);
}

LRESULT OnCommand(HWND window, UINT message, WPARAM first, LPARAM second) {
  switch (LOWORD(first)) {
    case kCommandZoomIn: OMMapViewZoomIn(shell.mapView); return 0;
    case kCommandZoomOut: OMMapViewZoomOut(shell.mapView); return 0;
    case kCommandHome: GoHome(); return 0;
    case kCommandOk: SendMessageW(window, WM_CLOSE, 0, 0); return 0;
    case kCommandAbout: ShowAboutDialog(shell.instance, window); return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}

// The map on the home position at the zoom the tile source opens at.
void SetStartMap() { OMMapViewSetMap(shell.mapView, kMapType, kHomeLatitude, kHomeLongitude, shell.startZoom); }

void OnDestroy() {
  StopReadingGpx();
  // Destroying the control cancels and awaits its downloads; its window goes with ours.
  shell.laidOut = false;
  OMMapViewDestroy(shell.mapView);
  shell.mapView = nullptr;
  DestroyWindow(shell.zoomInButton);
  DestroyWindow(shell.zoomOutButton);
  DestroyWindow(shell.menuBar);
  shell.zoomInButton = shell.zoomOutButton = shell.homeButton = shell.menuBar = nullptr;
  PostQuitMessage(0);
}

}  // namespace

ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className) {
  WNDCLASSW windowClass{};
  windowClass.style = kMainClassStyle;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconGroupProgram));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = className;
  return RegisterClassW(&windowClass);
}

// Gives the control its tile source (and contact); false, with the user told why, when it refuses
// one the user chose. A refused installed map falls back to the default source with one line.
bool ApplyTileSource(HWND window, const TileChoice& tiles) {
  if (!tiles.contact.empty() && !OMMapViewSetTileContact(shell.mapView, tiles.contact.c_str())) {
    RefuseSetting(window, "cannot use the contact '" + tiles.contact + "': " + OMMapViewGetLastError(shell.mapView));
    return false;
  }
  if (OMMapViewSetTileSource(shell.mapView, tiles.source.c_str())) {
    shell.defaultSource = tiles.source == "default";
    return true;
  }
  const std::string reason = OMMapViewGetLastError(shell.mapView);
  if (tiles.embedded) {
    OutputDebugStringW(Utf8ToUtf16("ambrel: the map installed with the program cannot be used (" + reason +
                                   "); using the default tile servers\n")
                           .c_str());
    shell.defaultSource = true;
    return OMMapViewSetTileSource(shell.mapView, "default") != 0;
  }
  const std::string origin = tiles.origin == "--tiles" || tiles.origin.empty() ? "" : " (from " + tiles.origin + ")";
  RefuseSetting(window, "cannot use the tiles '" + tiles.source + "'" + origin + ": " + reason);
  return false;
}

StartResult CreateMainWindow(HINSTANCE instance, int showCommand, const StartSettings& settings) {
  const TileChoice& tiles = settings.tiles;
  shell.instance = instance;
  SHInitExtraControls();

  WCHAR title[kNameCapacity] = {};
  WCHAR className[kNameCapacity] = {};
  LoadStringW(instance, kStringTitle, title, kNameCapacity);
  LoadStringW(instance, kStringClassName, className, kNameCapacity);

  // One copy at a time: a running copy is brought forward, with the windows it owns, and this one ends.
  if (HWND running = FindWindowW(className, title)) {
    SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(running) | 0x01));
    return StartResult::Ended;
  }

  if (RegisterMainWindowClass(instance, className) == 0) return StartResult::Ended;

  HWND window = CreateWindowExW(0, className, title, kMainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return StartResult::Ended;

  // Without its soft keys the program could not be closed on a device without a keyboard: the
  // user is told, and it ends as a failure rather than running on with no way out.
  if (shell.menuBar == nullptr) {
    MessageBoxW(window, u"Could not create the soft keys", u"Orvan.Map", MB_OK);
    DestroyWindow(window);
    return StartResult::Failed;
  }

  RECT client{};
  GetClientRect(window, &client);
  const MainWindowLayout layout = LayOutMainWindow(client.right - client.left, client.bottom - client.top);

  shell.mapView = OMMapViewCreate(kMapViewStyle, layout.mapView.left, layout.mapView.top, layout.mapView.right,
                                  layout.mapView.bottom, window, instance);
  OMMapViewSetEventHandler(shell.mapView, OnMapEvent, kEventUserData);
  if (shell.mapView != nullptr) {
    if (!ApplyTileSource(window, tiles)) {
      DestroyWindow(window);
      return StartResult::Refused;
    }
    shell.startZoom = tiles.embedded ? kEmbeddedStartZoom : kStartZoom;
    // With GPX files the map is set once they are read (kMessageGpxRead), where they are.
    if (settings.gpxFiles.empty()) {
      SetStartMap();
    } else if (!StartReadingGpx(window, settings.gpxFiles)) {
      Say("the GPX files are not shown: no thread to read them");
      SetStartMap();
    }
    if (shell.defaultSource) WatchForTiles(window, layout.mapView);
  } else {
    MessageBoxW(window, u"Could not create OrvanMapLib object", u"Orvan.Map", MB_OK);
  }

  shell.zoomInButton = CreateButton(u"Zoom In", layout.buttons[0], kCommandZoomIn, window);
  shell.zoomOutButton = CreateButton(u"Zoom Out", layout.buttons[1], kCommandZoomOut, window);
  shell.homeButton = CreateButton(u"OrvanMobile", layout.buttons[2], kCommandHome, window);

  MakeRoomForMenuBar(window);
  shell.laidOut = true;

  ShowWindow(window, showCommand);
  // Keys go to the map from the start: the arrows pan it, + and - zoom, Home goes back.
  if (shell.mapView != nullptr) {
    OMMapViewSetFlickPanning(shell.mapView, 1);
    SetFocus(OMMapViewGetWindow(shell.mapView));
  }
  UpdateWindow(window);
  return StartResult::Running;
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  switch (message) {
    case WM_CREATE:
      CreateSoftKeyBar(window);
      shell.activation = SHACTIVATEINFO{};
      shell.activation.cbSize = sizeof(SHACTIVATEINFO);
      return 0;
    case WM_COMMAND: return OnCommand(window, message, first, second);
    case kMessageCheckTiles:
    case kMessageTileCame: OnNoticeMessage(window, message); return 0;
    case kMessageGpxRead:
      if (!ShowGpxRead(shell.mapView, kMapType)) SetStartMap();
      ReportUnreadGpx(window);
      return 0;
    case kMessageShowWaypoint: ShowWaypoint(window, static_cast<int32_t>(first)); return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SIZE: LayOutAgain(window); return 0;
    case WM_ACTIVATE: SHHandleWMActivate(window, first, second, &shell.activation, 0); return 0;
    case WM_SETTINGCHANGE: SHHandleWMSettingChange(window, first, second, &shell.activation); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}

}  // namespace ambrel
