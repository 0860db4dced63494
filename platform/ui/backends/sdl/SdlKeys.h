// SDL key codes to the platform's virtual keys.
#pragma once

#include <SDL.h>

#include "platform/ui/Windows.h"

// 0 for keys the device does not have.
WORD VirtualKeyFromSdl(SDL_Keycode key);
