// Records what a download reports through its two callbacks, for the fetcher and tile tests.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/HttpFetcher.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/VirtualMemory.h"
#include "projection/MercatorProjection.h"

struct FetchRecorder {
  std::mutex mutex;
  int successes = 0;
  int failures = 0;
  bool dataWasNull = false;
  uint32_t count = 0;
  std::vector<uint8_t> bytes;  // a copy of the reported bytes (success only)
  DWORD threadId = 0;

  static void OnSuccess(const uint8_t* data, uint32_t count, void* context) {
    auto* r = static_cast<FetchRecorder*>(context);
    std::lock_guard<std::mutex> guard(r->mutex);
    ++r->successes;
    r->dataWasNull = data == nullptr;
    r->count = count;
    r->bytes.assign(data, data + (data != nullptr ? count : 0));
    r->threadId = GetCurrentThreadId();
  }
  static void OnFailure(const uint8_t* data, uint32_t count, void* context) {
    auto* r = static_cast<FetchRecorder*>(context);
    std::lock_guard<std::mutex> guard(r->mutex);
    ++r->failures;
    r->dataWasNull = data == nullptr;
    r->count = count;
    r->bytes.clear();
    r->threadId = GetCurrentThreadId();
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(mutex);
    successes = failures = 0;
    dataWasNull = false;
    count = 0;
    bytes.clear();
    threadId = 0;
  }
  int Calls() {
    std::lock_guard<std::mutex> guard(mutex);
    return successes + failures;
  }
};

// Waits until the fetcher has no worker; false when that takes longer than `timeoutMs`.
inline bool WaitUntilIdle(HttpFetcher& fetcher, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (fetcher.HasWorker()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(2);
  }
  return true;
}

// Waits until the first body bytes have arrived somewhere: received bytes commit pages, and the
// committed total is safe to read while a worker writes its buffer. False after `timeoutMs`.
inline bool WaitForFirstBodyBytes(size_t committedBefore, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (VirtualCommittedBytes() <= committedBefore) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(1);
  }
  return true;
}

// The URL of a tile, as the tile URL rule writes it.
inline std::u16string TileUrlFor(int32_t x, int32_t y, double zoom) {
  MercatorProjection projection;
  char16_t buffer[1024];
  return projection.BuildTileUrl(x, y, zoom, buffer, 1024);
}
