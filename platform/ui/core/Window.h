// One window's record, kept by the window system and read or changed only under its lock.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Windows.h"
#include "platform/ui/core/BackingStore.h"
#include "platform/ui/core/WindowClass.h"

class MessageQueue;

struct Window {
  uintptr_t handle = 0;
  std::shared_ptr<const WindowClass> windowClass;
  WNDPROC procedure = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  int id = 0;
  intptr_t userData = 0;
  std::vector<intptr_t> extraBytes;  // cbWndExtra, read and written in pointer-sized slots
  Window* parent = nullptr;          // children only
  Window* owner = nullptr;           // top-level windows only
  std::vector<Window*> children;     // bottom first
  RECT rect{};                       // frame; children: parent's client coordinates; top-level: screen
  std::u16string text;
  std::shared_ptr<MessageQueue> queue;  // the creating thread's queue
  // Paint state: the invalid area's bounds in client coordinates.
  bool invalid = false;
  bool eraseRequested = false;
  RECT invalidRect{};
  bool frameDirty = true;
  bool created = false;     // WM_CREATE has returned
  bool destroying = false;  // WM_DESTROY sent or being sent
  bool doneButton = false;
  Window* menuBarOf = nullptr;  // set on a soft-key bar: the window it belongs to
  Window* menuBar = nullptr;
  std::shared_ptr<BackingStore> store;  // top-level windows: their pixels

  bool IsChild() const { return (style & WS_CHILD) != 0; }
  bool IsVisibleFlag() const { return (style & WS_VISIBLE) != 0; }
  bool IsEnabledFlag() const { return (style & WS_DISABLED) == 0; }
  int32_t Width() const { return rect.right - rect.left; }
  int32_t Height() const { return rect.bottom - rect.top; }
};

inline HWND ToHandle(const Window* window) { return window ? reinterpret_cast<HWND>(window->handle) : nullptr; }
