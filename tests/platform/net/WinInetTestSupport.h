// Helpers for the client's tests: a request opened on the local tile server, whole-body reads,
// header queries as text, and a scope for the device's time-outs.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/net/WinInet.h"
#include "tests/support/TileServerFixture.h"

namespace wininet_test {

constexpr DWORD kFetchFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;
constexpr char16_t kAgent[] = u"wininet-test/1";
constexpr char16_t kLoopback[] = u"127.0.0.1";

inline std::u16string TilePath(int x, int y, int z) {
  std::string text = "/mt?v=w2.92&hl=ko&x=" + std::to_string(x) + "&y=" + std::to_string(y) + "&z=" + std::to_string(z);
  return std::u16string(text.begin(), text.end());
}

// Root, connection and request handles, closed (request first) when it goes out of scope unless
// the test closed them already (then their fields are null).
struct OpenRequest {
  OpenRequest(const std::u16string& host, INTERNET_PORT port, const std::u16string& path,
              DWORD accessType = INTERNET_OPEN_TYPE_DIRECT) {
    root = InternetOpenW(kAgent, accessType, nullptr, nullptr, 0);
    connection =
        root ? InternetConnectW(root, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0) : nullptr;
    request = connection
                  ? HttpOpenRequestW(connection, nullptr, path.c_str(), nullptr, nullptr, nullptr, kFetchFlags, 0)
                  : nullptr;
  }
  OpenRequest(const TileServer& server, const std::u16string& path) : OpenRequest(kLoopback, server.Port(), path) {}
  ~OpenRequest() {
    for (HINTERNET handle : {request, connection, root}) {
      if (handle != nullptr) InternetCloseHandle(handle);
    }
  }
  OpenRequest(const OpenRequest&) = delete;
  OpenRequest& operator=(const OpenRequest&) = delete;

  bool Opened() const { return request != nullptr; }
  bool Send() { return HttpSendRequestW(request, nullptr, 0, nullptr, 0) == TRUE; }

  HINTERNET root = nullptr;
  HINTERNET connection = nullptr;
  HINTERNET request = nullptr;
};

// The header as text, or nothing (GetLastError tells why).
inline std::optional<std::string> QueryText(HINTERNET request, DWORD level) {
  char16_t buffer[64] = {};
  DWORD length = sizeof buffer;
  if (!HttpQueryInfoW(request, level, buffer, &length, nullptr)) return std::nullopt;
  std::string text;
  for (DWORD i = 0; i < length / sizeof(char16_t); ++i) text += static_cast<char>(buffer[i]);
  return text;
}

struct BodyRead {
  bool ok = false;  // ended with TRUE and 0 bytes
  DWORD error = 0;  // GetLastError of the failed read
  std::vector<uint8_t> body;
  DWORD largestRead = 0;  // the most bytes one read returned
};

// Reads until the end of the body (TRUE with 0 bytes) or a failed read, `chunk` bytes at a time.
inline BodyRead ReadBody(HINTERNET request, DWORD chunk) {
  BodyRead result;
  std::vector<uint8_t> buffer(chunk);
  for (;;) {
    DWORD got = 0xFFFFFFFFu;
    if (!InternetReadFile(request, buffer.data(), chunk, &got)) {
      result.error = GetLastError();
      return result;
    }
    if (got == 0) {
      result.ok = true;
      return result;
    }
    if (got > result.largestRead) result.largestRead = got;
    result.body.insert(result.body.end(), buffer.begin(), buffer.begin() + got);
  }
}

inline bool IsPng(const std::vector<uint8_t>& bytes) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static const uint8_t kEnd[8] = {'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  return bytes.size() > 16 && std::equal(kSignature, kSignature + 8, bytes.begin()) &&
         std::equal(kEnd, kEnd + 8, bytes.end() - 8);
}

// Downloads `each` tiles (column = thread, row = i, level `level`) on each of `threads` threads at
// once, every tile on handles of its own. Returns how many arrived whole: status sent, body read to
// its end, a PNG of exactly the declared length.
inline int DownloadOnThreads(TileServer& server, int threads, int each, int level) {
  std::atomic<int> good{0};
  std::vector<std::thread> running;
  for (int t = 0; t < threads; ++t) {
    running.emplace_back([&server, &good, t, each, level] {
      for (int i = 0; i < each; ++i) {
        OpenRequest open(server, TilePath(t, i, level));
        if (!open.Send()) continue;
        const std::optional<std::string> length = QueryText(open.request, HTTP_QUERY_CONTENT_LENGTH);
        const BodyRead read = ReadBody(open.request, 1024);
        if (read.ok && IsPng(read.body) && length == std::to_string(read.body.size())) ++good;
      }
    });
  }
  for (std::thread& thread : running) thread.join();
  return good.load();
}

// The server's log once it holds at least `count` lines, all of them answered, waiting at most a
// few seconds.
inline std::vector<TileServerLogEntry> WaitForLog(TileServer& server, size_t count) {
  constexpr int kWaitMs = 5000;
  constexpr int kStepMs = 10;
  std::vector<TileServerLogEntry> log = server.AnsweredLog(kWaitMs);
  for (int waited = 0; log.size() < count && waited < kWaitMs; waited += kStepMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    log = server.AnsweredLog(kWaitMs);
  }
  return log;
}

// Sets the device's time-outs for one test and restores the defaults afterwards.
class DeviceTimeoutsScope {
 public:
  DeviceTimeoutsScope(DWORD connectMs, DWORD receiveMs) { InternetSetDeviceTimeouts(connectMs, receiveMs); }
  ~DeviceTimeoutsScope() { InternetSetDeviceTimeouts(0, 0); }
  DeviceTimeoutsScope(const DeviceTimeoutsScope&) = delete;
  DeviceTimeoutsScope& operator=(const DeviceTimeoutsScope&) = delete;
};

}  // namespace wininet_test
