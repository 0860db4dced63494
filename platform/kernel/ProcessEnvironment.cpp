#include "platform/kernel/ProcessEnvironment.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/kernel/WideText.h"

namespace {

// Copies `value` the way the environment and module-path calls do.
DWORD CopyOut(const std::u16string& value, LPWSTR buffer, DWORD size) {
  const DWORD needed = static_cast<DWORD>(value.size() + 1);
  if (buffer == nullptr || size < needed) return needed;
  std::memcpy(buffer, value.data(), value.size() * sizeof(char16_t));
  buffer[value.size()] = 0;
  return needed - 1;
}

std::string PathOf(LPCWSTR path) { return path == nullptr ? std::string() : Utf16ToUtf8(path); }

}  // namespace

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  const char* value = name == nullptr ? nullptr : std::getenv(Utf16ToUtf8(name).c_str());
  if (value == nullptr) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  return CopyOut(Utf8ToUtf16(value), buffer, size);
}

DWORD GetModuleFileNameW(void* module, LPWSTR buffer, DWORD size) {
  if (module != nullptr || buffer == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<size_t>(length) >= path.size()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  path.resize(static_cast<size_t>(length));
  const std::u16string wide = Utf8ToUtf16(path);
  if (wide.size() + 1 > size) {
    std::memcpy(buffer, wide.data(), (size - 1) * sizeof(char16_t));
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  return CopyOut(wide, buffer, size);
}

DWORD GetFileAttributesW(LPCWSTR path) {
  struct stat info {};
  if (path == nullptr || ::stat(PathOf(path).c_str(), &info) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL ReadSmallFile(LPCWSTR path, DWORD maxBytes, std::string* bytes) {
  if (path == nullptr || bytes == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Non-blocking open: a FIFO with no writer would otherwise hold the caller until one comes.
  const int fd = ::open(PathOf(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat info {};
  DWORD error = ERROR_SUCCESS;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = ERROR_ACCESS_DENIED;
  } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    error = ERROR_FILE_TOO_LARGE;
  }
  std::string read;
  char chunk[4096];
  while (error == ERROR_SUCCESS) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = ERROR_ACCESS_DENIED;
      break;
    }
    read.append(chunk, static_cast<size_t>(got));
    if (read.size() > maxBytes) error = ERROR_FILE_TOO_LARGE;  // grew while being read
  }
  ::close(fd);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  *bytes = std::move(read);
  return TRUE;
}
