// xclose <window id>: sends the window a WM_DELETE_WINDOW request on $DISPLAY, as a window
// manager does when its close button is pressed. Exit status 0 when the request was delivered, 1
// when the display or the window cannot be reached or the window does not take such requests.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool failed = false;

int RecordError(Display*, XErrorEvent*) {
  failed = true;
  return 0;
}

bool TakesDeleteRequests(Display* display, Window window, Atom deleteWindow) {
  Atom* protocols = nullptr;
  int count = 0;
  if (!XGetWMProtocols(display, window, &protocols, &count)) return false;
  bool found = false;
  for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteWindow;
  XFree(protocols);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xclose <window id>\n");
    return 1;
  }
  char* end = nullptr;
  const unsigned long window = std::strtoul(argv[1], &end, 0);
  if (end == argv[1] || *end != 0 || window == 0) {
    std::fprintf(stderr, "xclose: not a window id: %s\n", argv[1]);
    return 1;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "xclose: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(RecordError);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  if (!TakesDeleteRequests(display, window, deleteWindow) || failed) {
    std::fprintf(stderr, "xclose: window %lu does not take close requests\n", window);
    XCloseDisplay(display);
    return 1;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(deleteWindow);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  if (failed) {
    std::fprintf(stderr, "xclose: the request could not be sent to window %lu\n", window);
    return 1;
  }
  return 0;
}
