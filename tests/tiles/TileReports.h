// Records the reports that tiles make, for the tile and tile layer tests.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "platform/kernel/Thread.h"
#include "tiles/TileDrawInfo.h"

struct TileReport {
  TileDrawInfo info;  // `data` is only meaningful as null / not null after the call
  bool hadData;
  std::vector<uint8_t> bytes;
  DWORD threadId;
};

class TileReports {
 public:
  static void Callback(const TileDrawInfo* info, void* context) {
    auto* self = static_cast<TileReports*>(context);
    if (self->closed.load()) self->lateReports.fetch_add(1);
    std::lock_guard<std::mutex> guard(self->mutex_);
    TileReport r{*info, info->data != nullptr, {}, GetCurrentThreadId()};
    if (info->data != nullptr) r.bytes.assign(info->data, info->data + info->dataSize);
    self->reports_.push_back(std::move(r));
  }
  std::vector<TileReport> All() {
    std::lock_guard<std::mutex> guard(mutex_);
    return reports_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> guard(mutex_);
    return reports_.size();
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(mutex_);
    reports_.clear();
  }

  // Set once the owner of the tiles is gone: any report after that is counted as late.
  std::atomic<bool> closed{false};
  std::atomic<int> lateReports{0};

 private:
  std::mutex mutex_;
  std::vector<TileReport> reports_;
};
