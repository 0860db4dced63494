// The "button" class: a push button that draws its text centred on a raised face, shows itself
// pressed while the stylus is down on it, and on stylus-up inside it sends WM_COMMAND
// (MAKEWPARAM(id, BN_CLICKED), its handle) to its parent. A disabled button is grey and silent.
#pragma once

namespace ui::shell {

constexpr const char16_t* kButtonClassName = u"button";
bool RegisterButtonClass();

}  // namespace ui::shell
