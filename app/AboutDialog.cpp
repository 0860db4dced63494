#include "app/AboutDialog.h"

#include "app/ResourceIds.h"
#include "platform/ui/Resources.h"
#include "platform/ui/Shell.h"

namespace ambrel {

namespace {
// Done button in the caption, full screen, input panel lowered, an empty soft-key bar.
constexpr DWORD kAboutDialogFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
static_assert(kAboutDialogFlags == 0x2D);
}  // namespace

BOOL AboutDialogProc(HWND dialog, UINT message, WPARAM first, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SHINITDLGINFO info{};
      info.dwMask = SHIDIM_FLAGS;
      info.hDlg = dialog;
      info.dwFlags = kAboutDialogFlags;
      SHInitDialog(&info);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(first) == IDOK) {
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

void ShowAboutDialog(HINSTANCE instance, HWND owner) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(kDialogAbout), RT_DIALOG);
  if (found == nullptr) return;
  HGLOBAL loaded = LoadResource(instance, found);
  const auto* dialogTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(loaded));
  if (dialogTemplate == nullptr) return;
  DialogBoxIndirectParamW(instance, dialogTemplate, owner, AboutDialogProc, 0);
}

}  // namespace ambrel
