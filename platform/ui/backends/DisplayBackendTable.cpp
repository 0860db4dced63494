#include "platform/ui/backends/DisplayBackend.h"
#include "platform/ui/backends/headless/HeadlessBackend.h"
#include "platform/ui/backends/sdl/SdlBackend.h"

namespace {
const DisplayBackendEntry kBackends[] = {
    {"sdl", "an SDL2 desktop window showing the device screen", SdlDisplayAvailable, CreateSdlBackend},
    {"headless", "the device screen in memory only", [] { return true; }, CreateHeadlessBackend},
};
}  // namespace

const DisplayBackendEntry* DisplayBackends(int* count) {
  *count = int(sizeof kBackends / sizeof kBackends[0]);
  return kBackends;
}
