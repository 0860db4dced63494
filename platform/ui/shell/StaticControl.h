// The "static" class: text (SS_LEFT wrapping at spaces, SS_CENTER, SS_RIGHT; SS_NOPREFIX draws '&'
// as it is) or, with SS_ICON, an icon drawn at its own size from the control's corner: the icon
// group named by the window text ("#101" or a name) loaded at the system icon size, or one given
// with STM_SETIMAGE (which the caller keeps owning).
#pragma once

namespace ui::shell {

constexpr const char16_t* kStaticClassName = u"static";
bool RegisterStaticClass();

}  // namespace ui::shell
