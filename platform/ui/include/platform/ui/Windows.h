// The platform's window manager (a subset): window classes, windows and their messages, one message
// queue per thread, painting, the stylus and keys, standard controls, resources, accelerators,
// message boxes and modal dialogs. Product code includes this header (and platform/ui/Shell.h for
// the handheld shell); nothing here names a Linux library.
//
// Threads: a window belongs to the thread that created it; its messages are queued for that thread
// and its procedure runs there. Posting, sending (across threads too), InvalidateRect and the
// rectangle queries are safe from any thread. A thread waiting in GetMessageW uses no CPU.
//
// Handles are checked on every call: a destroyed or made-up window handle makes the call fail
// (FALSE / 0 / null, last error ERROR_INVALID_WINDOW_HANDLE) and never touches freed memory.
// Window handle values are never reused within a process.
#pragma once

#include "platform/gfx/Gdi.h"
#include "platform/imaging/Icon.h"
#include "platform/kernel/PlatformTypes.h"

struct HWND__;
struct HINSTANCE__;
struct HMENU__;
struct HACCEL__;
struct HRSRC__;
struct HCURSOR__;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HMENU = HMENU__*;
using HACCEL = HACCEL__*;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;
using HCURSOR = HCURSOR__*;
using ATOM = WORD;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;

using WNDPROC = LRESULT (*)(HWND window, UINT message, WPARAM first, LPARAM second);
using DLGPROC = BOOL (*)(HWND dialog, UINT message, WPARAM first, LPARAM second);

// ---- Integer resource names and parameter packing ----
// Not constexpr: a pointer made from an integer is never a constant expression (Clang refuses it).
inline LPCWSTR MAKEINTRESOURCEW(WORD id) { return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCWSTR name) { return (reinterpret_cast<uintptr_t>(name) >> 16) == 0; }
constexpr WORD LOWORD(uintptr_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(WORD low, WORD high) { return LPARAM(DWORD(low) | (DWORD(high) << 16)); }
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) { return WPARAM(DWORD(low) | (DWORD(high) << 16)); }
// Signed client coordinates of the stylus messages (negative only while the stylus is captured).
constexpr int GET_X_LPARAM(LPARAM v) { return int(int16_t(LOWORD(uintptr_t(v)))); }
constexpr int GET_Y_LPARAM(LPARAM v) { return int(int16_t(HIWORD(uintptr_t(v)))); }

// ---- Messages ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
// Sent to the window that loses the stylus capture (second parameter: the window that takes it, or
// null): another window took it, it was released, or the window was hidden, disabled or destroyed.
constexpr UINT WM_CAPTURECHANGED = 0x0215;
// The wheel turned: HIWORD(first) is the signed distance in multiples of WHEEL_DELTA per notch
// (positive: away from the user), LOWORD(first) the key state; the second parameter is the
// pointer's SCREEN point. It goes to the capture window, else the topmost shown, enabled window
// under the pointer; DefWindowProcW passes it on to the parent.
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr int WHEEL_DELTA = 120;
constexpr int16_t GET_WHEEL_DELTA_WPARAM(WPARAM v) { return int16_t(HIWORD(uintptr_t(v))); }
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// WM_ACTIVATE: LOWORD(first)
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;

// WM_SIZE first parameter: the window got a new size (LOWORD / HIWORD of the second: client size).
constexpr WPARAM SIZE_RESTORED = 0;

// Stylus button state in WM_MOUSEMOVE / WM_LBUTTON* first parameter.
constexpr WPARAM MK_LBUTTON = 0x0001;

// Command identifiers of message boxes and dialogs.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// ---- Styles ----
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_CAPTION = 0x00C00000;  // WS_BORDER | WS_DLGFRAME
constexpr DWORD WS_BORDER = 0x00800000;   // a one-pixel frame: the client area is one pixel in on each side
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;  // an OK button in the caption (handheld shell)

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;

constexpr int CW_USEDEFAULT = int(0x80000000);

// Button styles (class "button").
constexpr DWORD BS_PUSHBUTTON = 0x00000000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x00000001;
// Static styles (class "static").
constexpr DWORD SS_LEFT = 0x00000000;
constexpr DWORD SS_CENTER = 0x00000001;
constexpr DWORD SS_RIGHT = 0x00000002;
constexpr DWORD SS_ICON = 0x00000003;
constexpr DWORD SS_NOPREFIX = 0x00000080;
constexpr DWORD SS_REALSIZEIMAGE = 0x00000800;
// Static control messages.
constexpr UINT STM_SETIMAGE = 0x0172;
constexpr UINT STM_GETIMAGE = 0x0173;
// Button notification in HIWORD of WM_COMMAND's first parameter.
constexpr WORD BN_CLICKED = 0;
// Dialog styles understood in templates.
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD DS_MODALFRAME = 0x00000080;

// ---- Structures ----
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;  // GetTickCount when posted
  POINT pt;    // stylus position on the screen when posted
};

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};

// WM_CREATE's second parameter points to this; lpCreateParams is its first member.
struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};

// ---- Window classes ----
// Registers a class for the process. 0 with ERROR_CLASS_ALREADY_EXISTS when a class of that name
// exists (the caller may go on and use it), ERROR_INVALID_PARAMETER for a null procedure or name.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);

// ---- Windows ----
// Creates a window. WM_CREATE reaches the procedure before this returns (returning -1 from it
// destroys the window and gives null). Top-level windows with CW_USEDEFAULT position and size get
// the work area below the task bar. `menuOrId` is a child's identifier. The window is owned by the
// calling thread. Null with the last error set when the class is unknown or a parent is not live.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);
// Hides the window, sends WM_DESTROY to it and then to its children (each still exists while its
// parent handles the message), and frees them. Only the owning thread may destroy a window.
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
HWND GetParent(HWND window);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
BOOL ShowWindow(HWND window, int showCommand);
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
// Sends WM_PAINT at once when the window has an invalid area (does nothing otherwise).
BOOL UpdateWindow(HWND window);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
// Screen coordinates of the window's frame.
BOOL GetWindowRect(HWND window, RECT* rect);
// Client coordinates: left and top are 0.
BOOL GetClientRect(HWND window, RECT* rect);
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int capacity);
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_ID = -12;
constexpr int GWL_USERDATA = -21;
constexpr int GWL_WNDPROC = -4;  // the window's procedure (subclassing)
// Indexes 0, 8, ... read and write the class's extra window bytes (cbWndExtra) a pointer at a time.
intptr_t GetWindowLongPtrW(HWND window, int index);
intptr_t SetWindowLongPtrW(HWND window, int index, intptr_t value);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

// Finds a visible top-level window by class name and title (either may be null: any), in this
// process or in another process of the same user on this machine. A window of another process is
// named by a handle that SetForegroundWindow and IsWindow accept.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
// Brings a top-level window (of this or another process) to the front and makes it the foreground
// window. A handle with its lowest bit set (hwnd | 0x01) brings the windows it owns along too.
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
HWND SetFocus(HWND window);
HWND GetFocus();
// Stylus capture: while set, stylus messages go to this window, with client coordinates that may
// lie outside it (read them with GET_X_LPARAM / GET_Y_LPARAM). The window losing it is sent
// WM_CAPTURECHANGED.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// ---- Messages and the queue ----
// Waits for the next message of the calling thread's queue for `window` and its children (null:
// any window of the thread, and thread messages). WM_PAINT is made only when the queue holds
// nothing else and a window of the thread has an invalid area. 0 for WM_QUIT, -1 on error (an
// invalid window filter: last error ERROR_INVALID_WINDOW_HANDLE), else nonzero.
BOOL GetMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax);
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// The tick count stamped on the latest message the calling thread retrieved: for input, when the
// device's user acted, not when the program got round to it.
LONG GetMessageTime();
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageW(const MSG* message);
BOOL PostMessageW(HWND window, UINT message, WPARAM first, LPARAM second);
BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM first, LPARAM second);
// Calls the window's procedure and returns its result. From another thread the call waits until
// the owning thread has handled it (that thread handles sent messages while it waits in
// GetMessageW, PeekMessageW or its own SendMessageW). 0 for a window that is not live.
LRESULT SendMessageW(HWND window, UINT message, WPARAM first, LPARAM second);
void PostQuitMessage(int exitCode);
// Window timers: every `elapseMs` (at least 10) the window's thread retrieves WM_TIMER (first: the
// id) once its queue holds nothing else and no window of it waits for paint; a timer that came
// due several times while the thread was busy gives one message. Setting an id again restarts it.
// Only timers of a window, without a callback. The id, or 0 for a window that is not live or a
// callback. A waiting thread sleeps until the next timer is due, and not at all without timers.
using TIMERPROC = void (*)(HWND window, UINT message, UINT_PTR id, DWORD time);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback);
// FALSE when the window has no such timer.
BOOL KillTimer(HWND window, UINT_PTR id);
// Default processing: WM_CLOSE destroys the window, WM_ERASEBKGND fills with the class brush,
// WM_PAINT validates, WM_SETTEXT / WM_GETTEXT handle the title; the rest returns 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM first, LPARAM second);
LRESULT CallWindowProcW(WNDPROC procedure, HWND window, UINT message, WPARAM first, LPARAM second);

// ---- Painting ----
// Marks `rect` (client coordinates; null: the whole client area) as needing paint; `erase` asks
// BeginPaint to send WM_ERASEBKGND. Safe from any thread; wakes the owning thread.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// A context drawing into the window's client area, clipped to it (and to the invalid area's bounds).
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A context for the client area outside painting; release it with ReleaseDC.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// ---- Metrics and cursors ----
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
int GetSystemMetrics(int index);
inline const LPCWSTR IDC_ARROW = MAKEINTRESOURCEW(32512);  // system cursor 0x7F00
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);

// ---- Modules and resources ----
// The program's own module (null name). Resources are looked up by module, type, name and language.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
inline const LPCWSTR RT_ICON = MAKEINTRESOURCEW(3);
inline const LPCWSTR RT_MENU = MAKEINTRESOURCEW(4);
inline const LPCWSTR RT_DIALOG = MAKEINTRESOURCEW(5);
inline const LPCWSTR RT_STRING = MAKEINTRESOURCEW(6);
inline const LPCWSTR RT_ACCELERATOR = MAKEINTRESOURCEW(9);
inline const LPCWSTR RT_RCDATA = MAKEINTRESOURCEW(10);
inline const LPCWSTR RT_GROUP_ICON = MAKEINTRESOURCEW(14);
constexpr WORD LANG_NEUTRAL = 0;
// Finds a resource in the language of the device (Korean, 1042), else in any language.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Copies string `id` into `buffer` (at most capacity - 1 characters, terminated); its length, 0 when
// there is no such string.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity);
// The image of icon group `name` that best fits the system icon size (SM_CXICON).
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0;
// The image of icon group `name` that best fits cx x cy (0: the system icon size).
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);

// ---- Accelerators ----
// fVirt flags of an accelerator entry; 0x80 marks the last entry of a table.
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FNOINVERT = 0x02;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
constexpr BYTE FLASTENTRY = 0x80;
struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// When `message` is a key-down that matches an entry (with the Ctrl / Shift / Alt state of the
// moment the key was pressed), sends WM_COMMAND (MAKEWPARAM(cmd, 1), 0) to `window` and returns
// nonzero; otherwise 0.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message);
// Virtual keys (letters are their upper-case ASCII codes).
constexpr WORD VK_BACK = 0x08;
constexpr WORD VK_TAB = 0x09;
constexpr WORD VK_RETURN = 0x0D;
constexpr WORD VK_SHIFT = 0x10;
constexpr WORD VK_CONTROL = 0x11;
constexpr WORD VK_MENU = 0x12;
constexpr WORD VK_ESCAPE = 0x1B;
constexpr WORD VK_HOME = 0x24;
constexpr WORD VK_LEFT = 0x25;
constexpr WORD VK_UP = 0x26;
constexpr WORD VK_RIGHT = 0x27;
constexpr WORD VK_DOWN = 0x28;
constexpr WORD VK_ADD = 0x6B;  // the keypad's keys
constexpr WORD VK_SUBTRACT = 0x6D;
constexpr WORD VK_OEM_PLUS = 0xBB;  // the main keyboard's '=' / '+' and '-' keys
constexpr WORD VK_OEM_MINUS = 0xBD;
int16_t GetKeyState(int virtualKey);

// ---- Menus (used by the soft-key menu bar) ----
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_SEPARATOR = 0x0800;
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
HMENU GetSubMenu(HMENU menu, int position);
BOOL DestroyMenu(HMENU menu);
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_RETURNCMD = 0x0100;
// Shows a popup menu with its corner at (x, y) (screen), runs it modally until an item is chosen or
// the stylus goes down outside it; a chosen item posts WM_COMMAND (its id) to `owner`, or with
// TPM_RETURNCMD is returned instead.
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, void* reserved);

// ---- Message boxes and dialogs ----
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
// A modal box owned by `owner` with the text, the caption and an OK button; returns IDOK when it is
// dismissed (the OK button, the Done button, Enter or Escape). Other threads' windows keep running.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

struct DialogItemTemplate;
struct DialogTemplate;
using LPCDLGTEMPLATEW = const DialogTemplate*;
// Creates the dialog from its template (dialog units turned into pixels from the dialog font's
// average character width and height), sends WM_INITDIALOG with `initParam`, disables the owner and
// runs a modal loop until EndDialog; returns EndDialog's result (-1 when the dialog could not be
// made). The procedure returns nonzero for messages it handled; the rest get default dialog
// processing (WM_CLOSE does nothing by default: the procedure ends the dialog).
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner, DLGPROC procedure,
                                LPARAM initParam);
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);
