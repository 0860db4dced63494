// The window classes the system provides to every program: the standard controls, and the
// windows behind dialogs, popup menus and the soft-key bar.
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/shell/ButtonControl.h"
#include "platform/ui/shell/ModalDialog.h"
#include "platform/ui/shell/PopupMenu.h"
#include "platform/ui/shell/SoftKeyBar.h"
#include "platform/ui/shell/StaticControl.h"

void RegisterSystemWindowClasses() {
  ui::shell::RegisterButtonClass();
  ui::shell::RegisterStaticClass();
  ui::shell::RegisterDialogClass();
  ui::shell::RegisterPopupMenuClass();
  ui::shell::RegisterSoftKeyBarClass();
}
