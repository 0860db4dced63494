// Where the main window's children go, computed once from its client size: the map view on top,
// three equal buttons in a row below it, and the bottom rows left to the window's background.
#pragma once

#include "platform/ui/Windows.h"

namespace ambrel {

constexpr int kRowsBelowMap = 70;  // client rows not given to the map view
constexpr int kButtonHeight = 30;
constexpr int kButtonCount = 3;

struct MainWindowLayout {
  RECT mapView;                // left, top, right, bottom in client coordinates
  RECT buttons[kButtonCount];  // Zoom In, Zoom Out, home; left, top, right, bottom
};

// Each button is clientWidth / 3 wide (the remainder stays uncovered on the right).
constexpr MainWindowLayout LayOutMainWindow(int clientWidth, int clientHeight) {
  MainWindowLayout layout{};
  const int top = clientHeight - kRowsBelowMap;
  layout.mapView = RECT{0, 0, clientWidth, top};
  const int width = clientWidth / kButtonCount;
  for (int i = 0; i < kButtonCount; ++i) {
    layout.buttons[i] = RECT{i * width, top, i * width + width, top + kButtonHeight};
  }
  return layout;
}

}  // namespace ambrel
