// Fonts sized for the device's screen: 96 dots per inch at 240 pixels wide, scaled with the width
// (a 480-wide screen draws text twice as tall).
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

// Pixel height of a font of `points` on this screen.
int PointsToPixels(int points);
// A font of `typeface` (null: the default family) at `points` on this screen; the caller deletes it.
HFONT CreateDeviceFont(LPCWSTR typeface, int points, bool bold);
// The font of controls, menus and the shell's bars (9 points); shared, never deleted.
HFONT DefaultControlFont();

}  // namespace ui::shell
