// Debugger output: each call writes its UTF-16 text as one UTF-8 line to standard error.
#pragma once

#include "platform/kernel/PlatformTypes.h"

// A trailing line feed in `text` ends the line; without one, a line feed is added. Lines from
// different threads never interleave. Null writes nothing.
void OutputDebugStringW(LPCWSTR text);
