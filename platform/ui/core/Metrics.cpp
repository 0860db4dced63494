// System metrics, cursors and the program's module handle.
#include "platform/ui/DeviceScreen.h"

namespace {
// The program is the only module; its handle is a fixed value (resources are registered for it
// before main runs, so it must not depend on anything having started).
HINSTANCE__* const kProgramModule = reinterpret_cast<HINSTANCE__*>(uintptr_t(0x00400000));
HCURSOR__* const kArrowCursor = reinterpret_cast<HCURSOR__*>(uintptr_t(0x7F00) << 4);
constexpr DWORD kErrorModNotFound = 126;
}  // namespace

int GetSystemMetrics(int index) {
  const DeviceScreenConfig screen = CurrentDeviceScreen();
  switch (index) {
    case SM_CXSCREEN: return screen.width;
    case SM_CYSCREEN: return screen.height;
    case SM_CXICON:
    case SM_CYICON: return 32 * screen.width / 240;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16 * screen.width / 240;
    default: return 0;
  }
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (instance == nullptr && name == IDC_ARROW) return kArrowCursor;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  if (moduleName == nullptr) return kProgramModule;
  SetLastError(kErrorModNotFound);
  return nullptr;
}
