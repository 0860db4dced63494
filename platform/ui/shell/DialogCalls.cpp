// Modal dialogs from templates, EndDialog, and the shell's dialog initialisation.
#include <cstring>

#include "platform/ui/DeviceScreen.h"
#include "platform/ui/Shell.h"
#include "platform/ui/core/ShellHooks.h"
#include "platform/ui/shell/ModalDialog.h"
#include "platform/ui/shell/ResourceBytes.h"

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC procedure,
                                LPARAM initParam) {
  if (dialogTemplate == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  return ui::shell::RunModalDialog(instance, *dialogTemplate, owner, procedure, initParam);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam) {
  const ui::shell::ResourceBytes bytes = ui::shell::FindResourceBytes(instance, templateName, RT_DIALOG);
  if (!bytes) return -1;
  if (bytes.size != sizeof(DialogTemplate)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  DialogTemplate source{};
  std::memcpy(&source, bytes.data, sizeof source);
  return ui::shell::RunModalDialog(instance, source, owner, procedure, initParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  if (!ui::shell::EndModalDialog(dialog, result)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (info == nullptr || !(info->dwMask & SHIDIM_FLAGS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HWND dialog = info->hDlg;
  if (!IsWindow(dialog)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const DWORD flags = info->dwFlags;
  if (flags & SHIDIF_DONEBUTTON) SetWindowDoneButton(dialog, TRUE);
  if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
    // The screen below the task bar, above the soft-key bar unless the dialog goes without one.
    RECT area = WorkArea();
    if (!(flags & SHIDIF_FULLSCREENNOMENUBAR)) area.bottom -= MenuBarHeight();
    MoveWindow(dialog, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
  // SHIDIF_SIPDOWN: the emulated device has no input panel to lower.
  if (flags & SHIDIF_EMPTYMENU) {
    SHMENUBARINFO bar{};
    bar.cbSize = sizeof bar;
    bar.hwndParent = dialog;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    SHCreateMenuBar(&bar);  // the bar goes with the dialog
  }
  return TRUE;
}
