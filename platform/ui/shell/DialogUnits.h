// Dialog units: a template's positions and sizes are in quarters of the dialog font's average
// character width (of the 52 letters A-Z a-z) and eighths of its height.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

struct DialogBaseUnits {
  int x = 0;  // average character width, pixels
  int y = 0;  // character height, pixels

  // Pixels of `units` horizontal / vertical dialog units, rounded to the nearest pixel.
  int Horizontal(int units) const;
  int Vertical(int units) const;

  static DialogBaseUnits Of(HFONT font);
};

}  // namespace ui::shell
