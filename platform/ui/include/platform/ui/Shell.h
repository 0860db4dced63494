// The handheld shell's additions to the window manager: extra controls, the soft-key menu bar,
// full-screen dialogs with a Done button, and the activation / setting-change handlers.
#pragma once

#include "platform/ui/Windows.h"

// Makes the shell's extra controls available; call once before creating windows. TRUE.
BOOL SHInitExtraControls();

// The soft-key menu bar: built from a raw resource of type RT_RCDATA named nToolBarId in hInstRes:
//   WORD menu id, WORD button count, then per button: WORD image (-2: none), WORD command,
//   BYTE state (0x04 enabled), BYTE style (0x10 push, 0x18 drop-down), WORD string id, WORD 0,
//   WORD popup index into the menu's popups (0xFFFF: none).
// A push soft key sends WM_COMMAND (command) to hwndParent; a drop-down soft key opens its popup,
// whose item sends WM_COMMAND (item id). The bar sits along the screen's bottom edge.
struct SHMENUBARINFO {
  DWORD cbSize;  // sizeof(SHMENUBARINFO)
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;  // out: the menu bar's window
  COLORREF clrBk;
};
constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTYLE_BUTTON = 0x00;
constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;
constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
constexpr WORD I_IMAGENONE = WORD(-2);
// TRUE and hwndMB set, or FALSE (hwndMB null) when the definition is missing or malformed.
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

struct SHINITDLGINFO {
  DWORD dwMask;  // SHIDIM_FLAGS
  HWND hDlg;
  DWORD dwFlags;
};
constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_DONEBUTTON = 0x0001;  // a Done button in the caption: sends IDOK
constexpr DWORD SHIDIF_SIZEDLG = 0x0002;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;  // covers the screen below the task bar
constexpr DWORD SHIDIF_SIPDOWN = 0x0008;
constexpr DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010;
constexpr DWORD SHIDIF_EMPTYMENU = 0x0020;  // an empty soft-key bar under the dialog
BOOL SHInitDialog(SHINITDLGINFO* info);

// The activation record the shell keeps per window.
struct SHACTIVATEINFO {
  DWORD cbSize;  // sizeof(SHACTIVATEINFO)
  HWND hwndLastFocus;
  UINT fSipUp : 1;
  UINT fSipOnDeactivation : 1;
  UINT fActive : 1;
  UINT fReserved : 29;
};
// Keep the record up to date on WM_ACTIVATE / WM_SETTINGCHANGE (focus restored on activation).
BOOL SHHandleWMActivate(HWND window, WPARAM first, LPARAM second, SHACTIVATEINFO* info, DWORD flags);
BOOL SHHandleWMSettingChange(HWND window, WPARAM first, LPARAM second, SHACTIVATEINFO* info);
