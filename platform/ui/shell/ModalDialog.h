// Modal dialogs made from templates: the dialog window and its controls laid out in dialog units,
// WM_INITDIALOG, the owner disabled while the dialog's own message loop runs, Enter and Escape
// turned into IDOK and IDCANCEL commands, and everything undone when EndDialog ends the loop.
#pragma once

#include "platform/ui/Resources.h"

namespace ui::shell {

constexpr const char16_t* kDialogClassName = u"Dialog";
bool RegisterDialogClass();

// EndDialog's result; -1 when the dialog could not be made, 0 when its loop ended otherwise
// (the dialog destroyed, or WM_QUIT, which is posted again for the caller's loop).
INT_PTR RunModalDialog(HINSTANCE instance, const DialogTemplate& source, HWND owner, DLGPROC procedure,
                       LPARAM initParam);
// False when `dialog` is not a running modal dialog.
bool EndModalDialog(HWND dialog, INT_PTR result);

}  // namespace ui::shell
