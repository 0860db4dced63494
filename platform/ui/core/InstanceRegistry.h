// Top-level windows visible to the other processes of the same user, so that FindWindowW finds a
// window of another process and SetForegroundWindow brings it forward there (a program's
// single-instance check).
//
// The registry is a directory private to the user: $XDG_RUNTIME_DIR/orvan-ui when that is set,
// else /tmp/orvan-ui-<uid> (mode 0700, owned by the user, not a symbolic link). Each visible
// top-level window has one entry file "<pid>-<handle>.win" holding the process id, the window's
// handle, its class and title; the process keeps the file locked (flock) while it lives, so an
// entry whose lock is free belongs to a process that ended (even one killed outright) and is
// removed by whoever finds it. Each process with entries listens on a datagram socket
// "<pid>.sock" in the directory for "bring window N forward" requests.
//
// A window of another process is named here by a handle with bit 30 set (0x40000000 | 4 * n, an
// index into this process's list of the remote windows it found); local handles stay below that
// bit. Every handle fits in 31 bits, so a program that passes handles through a 32-bit integer
// (hwnd | 1 for SetForegroundWindow) keeps them intact.
#pragma once

#include "platform/ui/Windows.h"

bool IsRemoteWindowHandle(HWND window);
// Publishes, updates or withdraws the window's entry to match its state (lock not held).
void UpdateInstanceEntry(HWND window);
void WithdrawInstanceEntry(HWND window);
// A live window of another process with this class and title (either null: any), or null.
HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName);
bool IsRemoteWindowLive(HWND window);
// Asks the window's process to bring it forward (with its owned windows when bit 0 is set).
bool BringRemoteWindowForward(HWND window);
