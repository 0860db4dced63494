#include "platform/ui/shell/DialogUnits.h"

#include <cstdint>

namespace ui::shell {

namespace {

// value * numerator / denominator rounded half away from zero, as the platform's MulDiv does.
int MulDivRounded(int value, int numerator, int denominator) {
  const int64_t product = int64_t(value) * numerator;
  const int64_t half = denominator / 2;
  return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

constexpr char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kLetterCount = 52;
constexpr DialogBaseUnits kFallback{6, 13};  // when the font cannot be measured

}  // namespace

int DialogBaseUnits::Horizontal(int units) const { return MulDivRounded(units, x, 4); }
int DialogBaseUnits::Vertical(int units) const { return MulDivRounded(units, y, 8); }

DialogBaseUnits DialogBaseUnits::Of(HFONT font) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (dc == nullptr) return kFallback;
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  const bool measured = old != nullptr && GetTextExtentPoint32W(dc, kLetters, kLetterCount, &extent);
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  if (!measured || extent.cx <= 0 || extent.cy <= 0) return kFallback;
  // The average of the 52 letters, rounded: (width / 26 + 1) / 2.
  return DialogBaseUnits{int((extent.cx / 26 + 1) / 2), int(extent.cy)};
}

}  // namespace ui::shell
