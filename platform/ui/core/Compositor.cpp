#include "platform/ui/core/Compositor.h"

#include <cstring>

#include "platform/imaging/PngWriter.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/WindowSystem.h"

Compositor& Compositor::Get() {
  static Compositor* instance = new Compositor();
  return *instance;
}

void Compositor::Start(int32_t width, int32_t height, int32_t taskBarHeight) {
  std::lock_guard<std::mutex> held(screenLock_);
  width_ = width;
  height_ = height;
  taskBarHeight_ = taskBarHeight;
  screen_.assign(size_t(width) * size_t(height), kDesktopPixel);
  pending_ = RECT{0, 0, 0, 0};
  changed_ = RECT{0, 0, width, height};
}

void Compositor::Snapshot(std::vector<Layer>* layers) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  for (Window* window : ws.zOrder) {
    if (!window->IsVisibleFlag() || !window->store) continue;
    layers->push_back(Layer{window->store, window->rect});
  }
}

void Compositor::TitleSnapshot(std::u16string* title, bool* ok) {
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  if (ws.foreground == nullptr) return;
  *title = ws.foreground->text;
  *ok = ws.foreground->doneButton;
}

void Compositor::Damage(const RECT& damage) {
  // The task bar is kept current at once: input reads its OK button without composing.
  std::u16string title;
  bool ok = false;
  TitleSnapshot(&title, &ok);
  {
    std::lock_guard<std::mutex> held(screenLock_);
    // The size is read under the lock: the display thread changes it when its window is resized.
    if (width_ == 0) return;
    RECT area = RectIntersect(damage, RECT{0, 0, width_, height_});
    if (taskBar_.Update(width_, taskBarHeight_, title, ok)) area = RectUnion(area, RECT{0, 0, width_, taskBarHeight_});
    if (RectEmpty(area)) return;
    pending_ = RectUnion(pending_, area);
  }
  if (DisplayBackend* backend = CurrentDisplayBackend()) backend->ScreenChanged();
}

void Compositor::Compose() {
  {
    std::lock_guard<std::mutex> held(screenLock_);
    if (RectEmpty(pending_)) return;
  }
  // The windows are listed before the screen's lock is taken (the window system's lock comes first).
  std::vector<Layer> layers;
  Snapshot(&layers);
  std::lock_guard<std::mutex> held(screenLock_);
  const RECT area = RectIntersect(pending_, RECT{0, 0, width_, height_});
  pending_ = RECT{0, 0, 0, 0};
  if (RectEmpty(area)) return;
  ComposeLocked(area, layers);
  changed_ = RectUnion(changed_, area);
}

void Compositor::Copy(const PixelSurface& from, int32_t fromX, int32_t fromY, const RECT& to) {
  const size_t rowBytes = size_t(to.right - to.left) * sizeof(uint32_t);
  for (int32_t y = to.top; y < to.bottom; ++y) {
    const uint32_t* source = from.pixels + size_t(fromY + (y - to.top)) * size_t(from.stride) + fromX;
    std::memcpy(&screen_[size_t(y) * size_t(width_) + size_t(to.left)], source, rowBytes);
  }
}

void Compositor::ComposeLocked(const RECT& area, const std::vector<Layer>& layers) {
  // Start at the topmost window that covers the whole area: nothing under it shows.
  size_t first = 0;
  bool covered = false;
  for (size_t i = layers.size(); i-- > 0;) {
    const RECT& r = layers[i].rect;
    if (r.left <= area.left && r.top <= area.top && r.right >= area.right && r.bottom >= area.bottom &&
        layers[i].store->width >= r.right - r.left && layers[i].store->height >= r.bottom - r.top) {
      first = i;
      covered = true;
      break;
    }
  }
  if (!covered) {
    for (int32_t y = area.top; y < area.bottom; ++y) {
      uint32_t* row = &screen_[size_t(y) * size_t(width_)];
      for (int32_t x = area.left; x < area.right; ++x) row[x] = kDesktopPixel;
    }
  }
  for (size_t i = first; i < layers.size(); ++i) {
    const Layer& layer = layers[i];
    const RECT part = RectIntersect(area, layer.rect);
    if (RectEmpty(part)) continue;
    std::unique_lock<std::recursive_mutex> drawing(layer.store->drawing, std::try_to_lock);
    if (!drawing.owns_lock()) {
      pending_ = RectUnion(pending_, part);
      continue;
    }
    // The store may be smaller than the window right after a resize: copy what it has.
    RECT storeArea = RectIntersect(part, RECT{layer.rect.left, layer.rect.top, layer.rect.left + layer.store->width,
                                              layer.rect.top + layer.store->height});
    if (RectEmpty(storeArea)) continue;
    Copy(layer.store->Surface(), storeArea.left - layer.rect.left, storeArea.top - layer.rect.top, storeArea);
  }
  const RECT bar = RectIntersect(area, RECT{0, 0, width_, taskBarHeight_});
  if (!RectEmpty(bar)) Copy(taskBar_.Surface(), bar.left, bar.top, bar);
}

RECT Compositor::TakeChangedLocked() {
  RECT changed = changed_;
  changed_ = RECT{0, 0, 0, 0};
  return changed;
}

uint32_t Compositor::Pixel(int32_t x, int32_t y) {
  Compose();
  std::lock_guard<std::mutex> held(screenLock_);
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFFu;
  return screen_[size_t(y) * size_t(width_) + size_t(x)];
}

BOOL Compositor::WritePng(const char* path) {
  DamageAll();
  Compose();
  std::lock_guard<std::mutex> held(screenLock_);
  return WritePngFile(PixelSurface{screen_.data(), width_, height_, width_}, path);
}

RECT Compositor::OkButtonRect() {
  std::lock_guard<std::mutex> held(screenLock_);
  return taskBar_.OkButtonRect();
}
