#include "tools/tileserver/ParentWatch.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace tileserver {
namespace {

volatile sig_atomic_t gParentPid = 0;

constexpr int kExitParentGone = 0;

// The parent-death signal also comes when the parent's forking thread ends while the parent
// lives on; only a changed parent id means the parent process is gone.
void OnParentSignal(int) {
  if (getppid() != gParentPid) _exit(kExitParentGone);
}

}  // namespace

void ParentWatch::Start(int parentPid) {
  gParentPid = parentPid;
  struct sigaction action {};
  action.sa_handler = OnParentSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);
  prctl(PR_SET_PDEATHSIG, SIGUSR1);
  if (getppid() != parentPid) _exit(kExitParentGone);
  std::thread([parentPid] {
    for (;;) {
      if (getppid() != parentPid) _exit(kExitParentGone);
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
  }).detach();
}

}  // namespace tileserver
