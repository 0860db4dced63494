// Flat fills and the raised / sunken frame of buttons.
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

void FillColor(HDC dc, const RECT& rect, COLORREF color);
// A one-pixel black frame around a one-pixel bevel, lit on the top and left edges when raised
// and on the bottom and right edges when sunken; the face inside is filled with `face`.
void DrawBevel(HDC dc, const RECT& rect, bool raised, COLORREF face);

}  // namespace ui::shell
