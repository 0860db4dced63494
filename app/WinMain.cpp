#include "app/WinMain.h"

#include "app/MainWindow.h"
#include "app/ResourceIds.h"
#include "app/SettingsSources.h"

namespace ambrel {

namespace {
// Accelerators command the top-level window: a key that went to a child with the focus (the map
// view) still reaches the main window's commands.
HWND CommandWindowOf(HWND window) {
  while (window != nullptr && (GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0) {
    HWND parent = GetParent(window);
    if (parent == nullptr) break;
    window = parent;
  }
  return window;
}
}  // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  const Arguments arguments = ParseArguments(ArgumentsOf(commandLine));
  if (!arguments.error.empty()) return RefuseSetting(nullptr, arguments.error);
  if (arguments.help || arguments.version) {
    PrintToOutput(arguments.help ? UsageText() : VersionText());
    return 0;
  }
  switch (CreateMainWindow(instance, showCommand, ChooseSettings(arguments))) {
    case StartResult::Running: break;
    case StartResult::Ended: return 0;
    case StartResult::Failed: return 1;
    case StartResult::Refused: return kExitBadSettings;
  }

  HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(kAccelerators));
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) break;  // WM_QUIT
    // -1 is a failed fetch, not a message: ending here (as a failure) rather than looping on it,
    // which would spin for ever.
    if (got == -1) return 1;
    if (TranslateAcceleratorW(CommandWindowOf(message.hwnd), accelerators, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace ambrel
