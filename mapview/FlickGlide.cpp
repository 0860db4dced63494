#include "mapview/FlickGlide.h"

#include <cmath>

#include "mapview/MapViewEvents.h"
#include "mapview/StylusInput.h"

namespace {

// Stylus pixels covered `elapsed` milliseconds into a glide that started at `speed`.
double GlideDistance(double speed, double elapsed) { return speed * kGlideDecayMs * (1.0 - std::exp(-elapsed / kGlideDecayMs)); }

}  // namespace

void NoteStylusSample(OMMapView* view, int32_t x, int32_t y, DWORD time) {
  view->samples[view->sampleCount % OMMapView::kStylusSamples] = OMMapView::StylusSample{time, x, y};
  // Kept below twice the ring's size so that it never wraps: once past the size, the ring is full.
  const int32_t next = view->sampleCount + 1;
  view->sampleCount = next >= 2 * OMMapView::kStylusSamples ? next - OMMapView::kStylusSamples : next;
}

bool StartGlide(OMMapView* view, int32_t x, int32_t y, DWORD time) {
  StopGlide(view);
  const int32_t filled = view->sampleCount;
  view->sampleCount = 0;
  if (view->flickEnabled == 0 || filled == 0) return false;
  const int32_t size = OMMapView::kStylusSamples;
  const int32_t available = filled < size ? filled : size;
  const OMMapView::StylusSample& newest = view->samples[(filled - 1) % size];
  if (DWORD(time - newest.time) > kFlickStillMs) return false;
  // The oldest point within the window before the lift.
  const OMMapView::StylusSample* oldest = nullptr;
  for (int32_t i = 0; i < available; ++i) {
    const OMMapView::StylusSample& sample = view->samples[(filled - 1 - i + size) % size];
    if (DWORD(time - sample.time) > kFlickWindowMs) break;
    oldest = &sample;
  }
  if (oldest == nullptr) return false;
  const double elapsed = double(DWORD(time - oldest->time));
  if (elapsed < 1.0) return false;  // every point came within one tick: no speed to tell
  double vx = (x - oldest->x) / elapsed;
  double vy = (y - oldest->y) / elapsed;
  const double speed = std::hypot(vx, vy);
  if (speed < kFlickMinSpeed) return false;
  if (speed > kFlickMaxSpeed) {
    vx *= kFlickMaxSpeed / speed;
    vy *= kFlickMaxSpeed / speed;
  }
  if (SetTimer(view->window, kGlideTimer, kGlideStepMs, nullptr) == 0) return false;
  view->gliding = 1;
  view->glideVelocityX = vx;
  view->glideVelocityY = vy;
  view->glideStart = time;
  view->glideDoneX = 0;
  view->glideDoneY = 0;
  return true;
}

void StepGlide(OMMapView* view, DWORD time) {
  if (view->gliding == 0) {
    KillTimer(view->window, kGlideTimer);  // a step already queued when the glide ended
    return;
  }
  double elapsed = double(DWORD(time - view->glideStart));
  const double speed = std::hypot(view->glideVelocityX, view->glideVelocityY);
  // When the speed falls below the end speed: -tau * ln(end / start).
  const double runOut = kGlideDecayMs * std::log(speed / kGlideEndSpeed);
  const bool last = elapsed >= runOut || elapsed >= double(kGlideMaxMs);
  if (last) elapsed = std::fmin(runOut, double(kGlideMaxMs));
  const int32_t doneX = int32_t(std::lround(GlideDistance(view->glideVelocityX, elapsed)));
  const int32_t doneY = int32_t(std::lround(GlideDistance(view->glideVelocityY, elapsed)));
  const int32_t stepX = doneX - view->glideDoneX;
  const int32_t stepY = doneY - view->glideDoneY;
  view->glideDoneX = doneX;
  view->glideDoneY = doneY;
  bool stuck = false;
  if (stepX != 0 || stepY != 0) {
    const int32_t pendingX = view->pendingX, pendingY = view->pendingY;
    // The map follows the stylus: a stylus moving right pans by a negative offset.
    PanBy(view, -stepX, -stepY);
    stuck = view->pendingX == pendingX && view->pendingY == pendingY;
    InvalidateRect(view->window, nullptr, FALSE);
  }
  if (last || stuck) {
    StopGlide(view);
    NotifyViewChanged(view);
  }
}

void StopGlide(OMMapView* view) {
  if (view->gliding == 0) return;
  view->gliding = 0;
  KillTimer(view->window, kGlideTimer);
}
