// The headless display: the composed screen stays in memory (read by screenshots and tests);
// every thread waits on its queue's condition variable.
#pragma once

#include <memory>

#include "platform/ui/backends/DisplayBackend.h"

std::unique_ptr<DisplayBackend> CreateHeadlessBackend();
