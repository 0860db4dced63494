// Every test program runs with user folders of its own, inside a TempFolder made before the first
// test and removed after the last; the programs it starts inherit them:
//   XDG_RUNTIME_DIR  the window system's instance directory (running programs find each other's
//                    windows in it): otherwise shared with every other program and test on the
//                    machine in $XDG_RUNTIME_DIR/orvan-ui or /tmp/orvan-ui-<uid>, and left there
//   XDG_CACHE_HOME   what libraries and tools keep between runs (the tile server's default
//                    upstream cache)
// The GL library's shader cache (the SDL display under Xvfb draws with it) is off: it would write
// to the cache folder from threads of its own, which the thread checker cannot see into, and a
// test gains nothing from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/support/TempFolder.h"

namespace {

class PrivateUserFolders : public ::testing::Environment {
 public:
  void SetUp() override {
    folder_ = std::make_unique<TempFolder>("orvan-test-user");
    ::setenv("XDG_RUNTIME_DIR", folder_->Path().c_str(), 1);
    ::setenv("XDG_CACHE_HOME", folder_->File("cache").c_str(), 1);
    ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
  }
  void TearDown() override { folder_.reset(); }

 private:
  std::unique_ptr<TempFolder> folder_;
};

// Registered before main runs; Google Test owns the object.
::testing::Environment* const registered [[maybe_unused]] = ::testing::AddGlobalTestEnvironment(new PrivateUserFolders);

}  // namespace
