#include "mapview/AttributionLabel.h"

#include <algorithm>

namespace {

constexpr LONG kTextHeight = 10;  // pixels: small, still legible on the device's screen
constexpr int32_t kPadding = 2;
constexpr COLORREF kTextColour = RGB(51, 51, 51);
constexpr COLORREF kBoxColour = RGB(245, 245, 245);

}  // namespace

void DrawAttribution(OMMapView* view, HDC target) {
  if (view->attributionShown.empty()) return;
  RECT client{0, 0, 0, 0};
  GetClientRect(view->window, &client);
  LOGFONTW request{};
  request.lfHeight = -kTextHeight;
  HFONT font = CreateFontIndirectW(&request);
  HGDIOBJ oldFont = font != nullptr ? SelectObject(target, font) : nullptr;
  const auto* text = reinterpret_cast<LPCWSTR>(view->attributionShown.c_str());
  RECT box{0, 0, client.right - 2 * kPadding, 0};
  DrawTextW(target, text, -1, &box, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  const LONG width = std::min<LONG>(box.right - box.left, client.right - 2 * kPadding);
  const LONG height = box.bottom - box.top;
  RECT where{client.right - width - 2 * kPadding, client.bottom - height - kPadding, client.right, client.bottom};
  SetBkMode(target, OPAQUE);
  SetBkColor(target, kBoxColour);
  SetTextColor(target, kTextColour);
  HBRUSH brush = CreateSolidBrush(kBoxColour);
  FillRect(target, &where, brush);
  DeleteObject(brush);
  RECT textRect{where.left + kPadding, where.top, where.right - kPadding, where.bottom};
  DrawTextW(target, text, -1, &textRect, DT_SINGLELINE | DT_NOPREFIX | DT_RIGHT | DT_BOTTOM);
  if (oldFont != nullptr) SelectObject(target, oldFont);
  if (font != nullptr) DeleteObject(font);
}
