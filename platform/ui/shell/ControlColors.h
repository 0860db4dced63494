// The colours the system's controls, menus and bars are drawn in.
#pragma once

#include "platform/gfx/GdiTypes.h"

namespace ui::shell {

constexpr COLORREF kFaceColor = RGB(212, 208, 200);  // button face
constexpr COLORREF kPressedFaceColor = RGB(180, 176, 168);
constexpr COLORREF kHighlightColor = RGB(255, 255, 255);  // lit edge
constexpr COLORREF kShadowColor = RGB(128, 128, 128);     // shaded edge
constexpr COLORREF kFrameColor = RGB(0, 0, 0);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr COLORREF kGrayTextColor = RGB(128, 128, 128);
constexpr COLORREF kWindowColor = RGB(255, 255, 255);  // dialogs and static controls
constexpr COLORREF kBarColor = RGB(24, 40, 72);        // soft-key bar
constexpr COLORREF kBarPressedColor = RGB(60, 96, 160);
constexpr COLORREF kBarTextColor = RGB(255, 255, 255);
constexpr COLORREF kMenuColor = RGB(255, 255, 255);
constexpr COLORREF kMenuSelectedColor = RGB(49, 106, 197);
constexpr COLORREF kMenuSelectedTextColor = RGB(255, 255, 255);

}  // namespace ui::shell
