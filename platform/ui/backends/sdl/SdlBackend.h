// The SDL2 display: one desktop window showing the device screen scaled by ORVAN_SCALE (else the
// display's scale). The window can be resized; the device screen then takes its size divided by
// the scale. The mouse is the stylus (it moves only while the button is down), its wheel gives
// WM_MOUSEWHEEL, the keyboard gives key messages with the platform's virtual keys, and closing the
// desktop window closes the program's windows.
// SDL is used only on the thread that started it: that thread's GetMessageW waits in
// SDL_WaitEvent, and other threads wake it with a pushed event.
#pragma once

#include <memory>

#include "platform/ui/backends/DisplayBackend.h"

bool SdlDisplayAvailable();
std::unique_ptr<DisplayBackend> CreateSdlBackend();
