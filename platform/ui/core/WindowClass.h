// A registered window class: a copy of what RegisterClassW was given, its name kept as text.
#pragma once

#include <string>

#include "platform/ui/Windows.h"

struct WindowClass {
  std::u16string name;
  UINT style = 0;
  WNDPROC procedure = nullptr;
  int extraWindowBytes = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  ATOM atom = 0;
};

// Class names compare without regard to ASCII case, as the platform's do.
bool SameClassName(const std::u16string& a, const char16_t* b);
