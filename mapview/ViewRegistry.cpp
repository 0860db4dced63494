#include "mapview/ViewRegistry.h"

#include <map>
#include <mutex>

namespace {

// The registry is used on the GUI thread; a process may still run controls on two GUI threads (a
// test suite does), so a plain mutex keeps them apart. It is never held while a handler runs.
std::mutex registryLock;
std::map<HWND, OMMapView*>& Registry() {
  static auto* registry = new std::map<HWND, OMMapView*>();  // never destroyed: usable to the end
  return *registry;
}

}  // namespace

void RememberViewWindow(HWND window, OMMapView* view) {
  std::lock_guard<std::mutex> guard(registryLock);
  Registry()[window] = view;
}

OMMapView* FindViewOfWindow(HWND window) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto it = Registry().find(window);
  return it == Registry().end() ? nullptr : it->second;
}

void ForgetViewWindow(HWND window, OMMapView* view) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto it = Registry().find(window);
  if (it != Registry().end() && (view == nullptr || it->second == view)) Registry().erase(it);
}

size_t ViewRegistrySize() {
  std::lock_guard<std::mutex> guard(registryLock);
  return Registry().size();
}
