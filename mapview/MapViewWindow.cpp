#include "mapview/MapViewWindow.h"

#include "mapview/DesktopInput.h"
#include "mapview/FlickGlide.h"
#include "mapview/MapLayers.h"
#include "mapview/MapPainter.h"
#include "mapview/StylusInput.h"
#include "mapview/ViewPosition.h"
#include "mapview/ViewRegistry.h"

namespace {

constexpr UINT kRedrawOnResize = CS_HREDRAW | CS_VREDRAW;

void RegisterMapViewClass(HINSTANCE instance) {
  WNDCLASSW windowClass{};
  windowClass.style = kRedrawOnResize;
  windowClass.lpfnWndProc = MapViewWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszClassName = kMapViewClassName;
  RegisterClassW(&windowClass);  // fails harmlessly when the class exists
}

// Stylus messages carry the client point in the second parameter's low and high 16 bits, signed:
// while the control holds the capture, a point left of or above it is negative.
int32_t StylusX(LPARAM second) { return GET_X_LPARAM(second); }
int32_t StylusY(LPARAM second) { return GET_Y_LPARAM(second); }

}  // namespace

int32_t CreateControlWindow(OMMapView* view, uint32_t style, int32_t left, int32_t top, int32_t right, int32_t bottom,
                            HWND parent, HINSTANCE instance) {
  RegisterMapViewClass(instance);
  HWND window = CreateWindowExW(0, kMapViewClassName, nullptr, style | WS_CHILD, left, top, right - left, bottom - top,
                                parent, nullptr, instance, view);
  view->window = window;
  if (window == nullptr) return 0;
  view->instance = instance;
  return 1;
}

LRESULT MapViewWndProc(HWND window, UINT message, WPARAM first, LPARAM second) {
  if (message == WM_CREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(second);
    auto* view = static_cast<OMMapView*>(creation->lpCreateParams);
    // A window of this class made by someone else, without a control, stays a plain window.
    if (view != nullptr) {
      RememberViewWindow(window, view);
      view->window = window;
    }
    return 0;
  }
  OMMapView* view = FindViewOfWindow(window);
  if (view == nullptr) return DefWindowProcW(window, message, first, second);
  switch (message) {
    case WM_DESTROY:
      StopGlide(view);
      FreeLayers(view);
      // The window is gone; a later OMMapViewDestroy finds no entry to remove.
      ForgetViewWindow(window, view);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      Paint(view, dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND: return 1;  // every paint covers the window: never erased
    // A new size keeps the point shown at the centre there: the viewport and the layers are laid
    // out again for the new client area (also the first size, before any map, which needs nothing).
    case WM_SIZE:
      if (view->projection != nullptr) ZoomTo(view, view->zoom);
      return 0;
    case WM_COMMAND: return 0;
    // The wheel's point comes in screen coordinates.
    case WM_MOUSEWHEEL: {
      POINT point{GET_X_LPARAM(second), GET_Y_LPARAM(second)};
      ScreenToClient(window, &point);
      OnWheel(view, point.x, point.y, GET_WHEEL_DELTA_WPARAM(first));
      return 0;
    }
    case WM_KEYDOWN:
      if (OnKey(view, WORD(first))) return 0;
      return DefWindowProcW(window, message, first, second);
    case WM_TIMER:
      if (first == kGlideTimer) StepGlide(view, tapClock());
      return 0;
    case WM_MOUSEMOVE: OnStylusMove(view, StylusX(second), StylusY(second)); return 0;
    // The control holds the stylus from down to up, so that a drag released over another window
    // or off the screen still ends here and becomes a pan.
    case WM_LBUTTONDOWN:
      SetCapture(window);
      OnStylusDown(view, StylusX(second), StylusY(second));
      return 0;
    case WM_LBUTTONUP:
      OnStylusUp(view, StylusX(second), StylusY(second));
      if (GetCapture() == window) ReleaseCapture();
      return 0;
    // The stylus was taken away mid-drag (a message box, the window disabled, hidden or
    // destroyed): the drag ends where it was last seen, as if lifted there.
    case WM_CAPTURECHANGED: OnStylusUp(view, view->lastX, view->lastY, false); return 0;
    default: return DefWindowProcW(window, message, first, second);
  }
}
