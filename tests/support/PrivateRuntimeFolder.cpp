// Every test program runs with an XDG_RUNTIME_DIR of its own: a TempFolder made before the first
// test and removed after the last. The window system keeps its instance directory there (running
// programs find each other's windows in it), for the windows a test makes in its own process and
// for the programs it starts, which inherit the setting. Without it they would share
// $XDG_RUNTIME_DIR/orvan-ui or /tmp/orvan-ui-<uid> with every other program and test on the
// machine, and leave entries there.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/support/TempFolder.h"

namespace {

class PrivateRuntimeFolder : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<TempFolder>("orvan-test-runtime");
    ::setenv("XDG_RUNTIME_DIR", folder_->Path().c_str(), 1);
  }
  void TearDown() override { folder_.reset(); }

 private:
  std::unique_ptr<TempFolder> folder_;
};

// Registered before main runs; Google Test owns the object.
::testing::Environment* const registered [[maybe_unused]] =
    ::testing::AddGlobalTestEnvironment(new PrivateRuntimeFolder);

}  // namespace
