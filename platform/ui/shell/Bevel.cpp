#include "platform/ui/shell/Bevel.h"

#include "platform/ui/shell/ControlColors.h"

namespace ui::shell {

void FillColor(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void DrawBevel(HDC dc, const RECT& r, bool raised, COLORREF face) {
  FillColor(dc, r, kFrameColor);
  if (r.right - r.left < 3 || r.bottom - r.top < 3) return;
  const COLORREF topLeft = raised ? kHighlightColor : kShadowColor;
  const COLORREF bottomRight = raised ? kShadowColor : kHighlightColor;
  FillColor(dc, {r.left + 1, r.top + 1, r.right - 1, r.top + 2}, topLeft);
  FillColor(dc, {r.left + 1, r.top + 1, r.left + 2, r.bottom - 1}, topLeft);
  FillColor(dc, {r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 1}, bottomRight);
  FillColor(dc, {r.right - 2, r.top + 1, r.right - 1, r.bottom - 1}, bottomRight);
  FillColor(dc, {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}, face);
}

}  // namespace ui::shell
