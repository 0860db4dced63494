#include "platform/ui/core/ThreadExit.h"

#include <functional>

#include "platform/ui/core/InstanceRegistry.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
void EndQueue(const std::shared_ptr<MessageQueue>& queue) {
  WindowSystem& ws = WindowSystem::Get();
  std::vector<HWND> gone;
  RECT damage{};
  bool foregroundGone = false;
  {
    std::lock_guard<std::mutex> held(ws.lock);
    queue->alive = false;
    for (auto& sent : queue->incoming) {
      sent->done = true;
      if (sent->sender) ws.Wake(*sent->sender);
    }
    queue->incoming.clear();
    queue->posted.clear();
    std::vector<HWND> roots;
    ws.ForEachWindow([&](Window* w) {
      if (w->queue == queue && (w->parent == nullptr || w->parent->queue != queue)) roots.push_back(ToHandle(w));
    });
    std::function<void(Window*)> remove = [&](Window* w) {
      while (!w->children.empty()) remove(w->children.back());
      gone.push_back(ToHandle(w));
      if (ws.foreground == w) foregroundGone = true;
      ws.Remove(w);
    };
    for (HWND handle : roots) {
      Window* root = ws.Find(handle);
      if (root == nullptr) continue;  // inside a subtree removed before
      if (root->IsVisibleFlag()) damage = RectUnion(damage, WindowSystem::WindowRectOnScreen(*root));
      if (root->parent != nullptr) ws.InvalidateTree(*root->parent, root->rect, true);
      remove(root);
    }
    ws.ForgetQueue(queue->threadId);
  }
  for (HWND handle : gone) WithdrawInstanceEntry(handle);
  DamageScreen(damage);
  if (foregroundGone) ActivateNextWindow(nullptr);
}

struct ThreadExitWatch {
  std::shared_ptr<MessageQueue> queue;
  ~ThreadExitWatch() {
    if (queue) EndQueue(queue);
  }
};
thread_local ThreadExitWatch watch;
}  // namespace

void WatchThreadExit(std::shared_ptr<MessageQueue> queue) { watch.queue = std::move(queue); }
