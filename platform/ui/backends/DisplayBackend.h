// What the window system asks of a display: show the composed screen, wake the display thread,
// and (for a backend whose events arrive on one thread) wait for events on that thread. Each
// backend is one entry {name, description, available, create} of the bootstrap table below;
// ORVAN_BACKEND picks one by name, otherwise the first that is available starts.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gfx/Surface.h"
#include "platform/kernel/PlatformTypes.h"

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // Starts on the calling thread; FALSE (with one line on stderr) when the display cannot start.
  virtual bool Start(int32_t width, int32_t height, int32_t scale) = 0;
  // The thread whose GetMessageW waits in WaitForEvents instead of a condition variable; 0: none.
  virtual DWORD EventThreadId() const { return 0; }
  // Waits on the event thread until an event or Wake arrives, or `timeoutMs` passed (negative: no
  // limit), and handles the events that came.
  virtual void WaitForEvents(int32_t timeoutMs) { (void)timeoutMs; }
  // Handles the events that are waiting, without waiting (PeekMessageW on the event thread).
  virtual void PollEvents() {}
  // From any thread: ends the event thread's current or next WaitForEvents.
  virtual void Wake() {}
  // The composed screen changed: show it (the backend reads it through the compositor).
  virtual void ScreenChanged() {}
  // A window of the device came to the foreground: bring the display's own window forward.
  virtual void Raise() {}
  // The program has ended (on the thread that started the backend): let the display go. The
  // screen stays in memory; the backend's other calls do nothing afterwards.
  virtual void Stop() {}
};

struct DisplayBackendEntry {
  const char* name;
  const char* description;
  bool (*available)();  // cheap check, e.g. whether a display is configured
  std::unique_ptr<DisplayBackend> (*create)();
};

// The bootstrap table, in order of preference.
const DisplayBackendEntry* DisplayBackends(int* count);
