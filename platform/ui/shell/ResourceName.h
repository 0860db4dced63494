// Resource names and types as the platform compares them: an integer identifier matches the same
// integer or the text "#<id>"; text names match case-insensitively (ASCII letters).
#pragma once

#include "platform/ui/Windows.h"

namespace ui::shell {

bool ResourceNamesMatch(LPCWSTR a, LPCWSTR b);

}  // namespace ui::shell
