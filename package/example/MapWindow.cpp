// The smallest program that embeds the map control: a frame window filled by the map, with a
// marker and a track on it.
#include "mapview/OMMapView.h"
#include "platform/ui/DeviceScreen.h"

static LRESULT FrameProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, first, second);
}

static int ShowMap(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
  WNDCLASSW frameClass{};
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = instance;
  frameClass.lpszClassName = u"MapFrame";
  RegisterClassW(&frameClass);
  HWND frame = CreateWindowExW(0, u"MapFrame", u"Map", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  RECT client;
  GetClientRect(frame, &client);
  OMMapView* map = OMMapViewCreate(WS_VISIBLE, 0, 0, client.right, client.bottom, frame, instance);
  OMMapViewSetMap(map, OMMapTypeMercator, 48.858370, 2.294481, 15.0);
  // The built-in pin, its tip (pixel 9, 29) on the position, and a walk as latitude, longitude pairs.
  OMMapViewAddMarker(map, 48.858370, 2.294481, nullptr, 0, 9, 29);
  const double walk[] = {48.858370, 2.294481, 48.857500, 2.296300, 48.856900, 2.295400, 48.856200, 2.297200};
  OMMapViewAddPolyline(map, walk, 4, 0x2060E0, 4);
  ShowWindow(frame, showCommand);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  OMMapViewDestroy(map);
  return 0;
}

int main(int argc, char** argv) { return RunProgram(argc, argv, ShowMap); }
