#include "platform/ui/backends/headless/HeadlessBackend.h"

#include "platform/ui/backends/headless/InputScript.h"

namespace {
class HeadlessBackend final : public DisplayBackend {
 public:
  bool Start(int32_t, int32_t, int32_t) override {
    StartInputScriptFromSettings();
    return true;
  }
  // Nothing to show in front of: the device only counts it, for its state report.
  void Raise() override { NoteScreenRaised(); }
};
}  // namespace

std::unique_ptr<DisplayBackend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }
