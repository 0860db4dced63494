#include "platform/kernel/DebugOutput.h"

#include <unistd.h>

#include <cerrno>

#include <mutex>
#include <string>

#include "platform/kernel/WideText.h"

void OutputDebugStringW(LPCWSTR text) {
  if (text == nullptr) return;
  std::string line = Utf16ToUtf8(std::u16string_view(text, WideLength(text)));
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  // One write per line, under a lock, so lines from several threads stay whole.
  static std::mutex mutex;
  std::lock_guard<std::mutex> guard(mutex);
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}
