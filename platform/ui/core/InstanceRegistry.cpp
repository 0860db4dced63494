#include "platform/ui/core/InstanceRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/kernel/WideText.h"
#include "platform/ui/core/DeviceScreenState.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
constexpr uintptr_t kRemoteBit = uintptr_t(1) << 62;
constexpr const char* kEntryMagic = "orvan-window";

struct Entry {
  int fd = -1;
  std::string path;
  std::string content;
};

struct Registry {
  std::mutex lock;
  std::map<uintptr_t, Entry> entries;  // this process's published windows
  bool listening = false;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

// The user's private registry directory, made on first use; empty when none can be had.
const std::string& Directory() {
  static const std::string directory = [] {
    std::string path;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') {
      path = std::string(runtime) + "/orvan-ui";
    } else {
      path = "/tmp/orvan-ui-" + std::to_string(getuid());
    }
    mkdir(path.c_str(), 0700);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid() ||
        (info.st_mode & 0077) != 0) {
      std::fprintf(stderr, "orvan: %s is not a private directory of this user; windows of other processes are not found\n",
                   path.c_str());
      return std::string();
    }
    return path;
  }();
  return directory;
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string Unhex(const std::string& text) {
  std::string out;
  auto value = [](char c) { return c >= 'a' ? c - 'a' + 10 : c - '0'; };
  for (size_t i = 0; i + 1 < text.size(); i += 2) out += char(value(text[i]) * 16 + value(text[i + 1]));
  return out;
}

std::string EntryName(long pid, uintptr_t handle) { return std::to_string(pid) + "-" + std::to_string(handle) + ".win"; }
std::string SocketPath(long pid) { return Directory() + "/" + std::to_string(pid) + ".sock"; }

void HandleRequests(int socket) {
  char buffer[128];
  for (;;) {
    const ssize_t got = recv(socket, buffer, sizeof buffer - 1, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return;
    }
    buffer[got] = 0;
    unsigned long long handle = 0;
    int lastOwned = 0;
    if (std::sscanf(buffer, "F %llu %d", &handle, &lastOwned) != 2) continue;
    HWND window = reinterpret_cast<HWND>(uintptr_t(handle));
    if (!IsWindow(window) || IsRemoteWindowHandle(window)) continue;
    ActivateWindow(window, lastOwned != 0);
    // Another program asked for this one: the display comes forward even when the window was
    // already in front within this program (ActivateWindow raises only on a change).
    if (DisplayBackend* backend = CurrentDisplayBackend()) backend->Raise();
  }
}

void StartListening(Registry& registry) {
  if (registry.listening) return;
  const std::string path = SocketPath(getpid());
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  unlink(path.c_str());  // left by an earlier process with this id
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return;
  }
  registry.listening = true;
  std::thread(HandleRequests, fd).detach();
}

struct WindowFacts {
  bool publish = false;
  std::u16string className;
  std::u16string title;
};

WindowFacts FactsOf(HWND handle) {
  WindowFacts facts;
  WindowSystem& ws = WindowSystem::Get();
  std::lock_guard<std::mutex> held(ws.lock);
  Window* window = ws.Find(handle);
  if (window == nullptr || window->parent != nullptr || window->destroying || !window->IsVisibleFlag()) return facts;
  if (!CanActivate(*window)) return facts;
  facts.publish = true;
  facts.className = window->windowClass->name;
  facts.title = window->text;
  return facts;
}

void Withdraw(Registry& registry, uintptr_t handle) {
  auto it = registry.entries.find(handle);
  if (it == registry.entries.end()) return;
  unlink(it->second.path.c_str());
  close(it->second.fd);
  registry.entries.erase(it);
}

struct ParsedEntry {
  long pid = 0;
  uintptr_t handle = 0;
  std::string className;
  std::string title;
};

bool Parse(const std::string& content, ParsedEntry* parsed) {
  char magic[32] = {};
  long pid = 0;
  unsigned long long handle = 0;
  char className[1024] = {};
  char title[2048] = {};
  if (std::sscanf(content.c_str(), "%31s %ld %llu %1023s %2047s", magic, &pid, &handle, className, title) < 4) {
    return false;
  }
  if (std::strcmp(magic, kEntryMagic) != 0) return false;
  parsed->pid = pid;
  parsed->handle = uintptr_t(handle);
  parsed->className = Unhex(className);
  parsed->title = std::strcmp(title, "-") == 0 ? std::string() : Unhex(title);
  return true;
}

// Opens an entry and tells whether its process lives (it holds the lock). A dead process's entry
// is removed; null content then.
bool ReadLiveEntry(const std::string& path, std::string* content) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
    // Nobody holds it: its process ended. Remove it unless it was replaced meanwhile.
    struct stat opened {};
    struct stat named {};
    if (fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino) {
      unlink(path.c_str());
    }
    close(fd);
    return false;
  }
  char buffer[8192];
  const ssize_t got = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (got <= 0) return false;
  content->assign(buffer, size_t(got));
  return true;
}

bool SameClass(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}
}  // namespace

bool IsRemoteWindowHandle(HWND window) { return (reinterpret_cast<uintptr_t>(window) & kRemoteBit) != 0; }

void UpdateInstanceEntry(HWND handle) {
  if (handle == nullptr || Directory().empty()) return;
  const WindowFacts facts = FactsOf(handle);
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> held(registry.lock);
  const uintptr_t key = reinterpret_cast<uintptr_t>(handle);
  if (!facts.publish) {
    Withdraw(registry, key);
    return;
  }
  const long pid = long(getpid());
  const std::string title = Utf16ToUtf8(facts.title);
  const std::string content = std::string(kEntryMagic) + "\n" + std::to_string(pid) + "\n" + std::to_string(key) +
                              "\n" + Hex(Utf16ToUtf8(facts.className)) + "\n" + (title.empty() ? "-" : Hex(title)) +
                              "\n";
  auto it = registry.entries.find(key);
  if (it != registry.entries.end() && it->second.content == content) return;
  StartListening(registry);
  // Written under a temporary name, locked, then renamed into place: readers never see half an
  // entry, and the entry is locked from the moment it appears.
  const std::string path = Directory() + "/" + EntryName(pid, key);
  const std::string temporary = Directory() + "/.tmp-" + EntryName(pid, key);
  const int fd = open(temporary.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || write(fd, content.data(), content.size()) != ssize_t(content.size()) ||
      rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    close(fd);
    return;
  }
  if (it != registry.entries.end()) {
    close(it->second.fd);  // its file was replaced by the rename
    it->second = Entry{fd, path, content};
  } else {
    registry.entries[key] = Entry{fd, path, content};
  }
}

void WithdrawInstanceEntry(HWND handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> held(registry.lock);
  Withdraw(registry, reinterpret_cast<uintptr_t>(handle));
}

HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName) {
  const std::string& directory = Directory();
  if (directory.empty()) return nullptr;
  const std::string wantedClass = className != nullptr ? Utf16ToUtf8(className) : std::string();
  const std::string wantedTitle = windowName != nullptr ? Utf16ToUtf8(windowName) : std::string();
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return nullptr;
  HWND found = nullptr;
  const long self = long(getpid());
  while (dirent* item = readdir(listing)) {
    const std::string name = item->d_name;
    if (name.size() < 5 || name[0] == '.' || name.compare(name.size() - 4, 4, ".win") != 0) continue;
    std::string content;
    if (!ReadLiveEntry(directory + "/" + name, &content)) continue;
    ParsedEntry entry;
    if (!Parse(content, &entry) || entry.pid == self || entry.pid <= 0 || entry.pid >= (1L << 30)) continue;
    if (entry.handle == 0 || entry.handle > 0xFFFFFFFFu) continue;
    if (className != nullptr && !SameClass(entry.className, wantedClass)) continue;
    if (windowName != nullptr && entry.title != wantedTitle) continue;
    found = reinterpret_cast<HWND>(kRemoteBit | (uintptr_t(entry.pid) << 32) | entry.handle);
    break;
  }
  closedir(listing);
  return found;
}

bool IsRemoteWindowLive(HWND window) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(window) & ~uintptr_t(1);
  if ((value & kRemoteBit) == 0 || Directory().empty()) return false;
  const long pid = long((value & ~kRemoteBit) >> 32);
  const uintptr_t handle = value & 0xFFFFFFFFu;
  std::string content;
  return ReadLiveEntry(Directory() + "/" + EntryName(pid, handle), &content);
}

bool BringRemoteWindowForward(HWND window) {
  const uintptr_t raw = reinterpret_cast<uintptr_t>(window);
  if (!IsRemoteWindowLive(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  const uintptr_t value = raw & ~uintptr_t(1);
  const long pid = long((value & ~kRemoteBit) >> 32);
  const std::string path = SocketPath(pid);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  char request[64];
  const int length = std::snprintf(request, sizeof request, "F %llu %d\n",
                                   static_cast<unsigned long long>(value & 0xFFFFFFFFu), int(raw & 1));
  const bool sent = sendto(fd, request, size_t(length), 0, reinterpret_cast<sockaddr*>(&address), sizeof address) == length;
  close(fd);
  return sent;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if (className != nullptr && IS_INTRESOURCE(className)) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);  // class atoms are not looked up by name here
    return nullptr;
  }
  {
    WindowSystem& ws = WindowSystem::Get();
    std::lock_guard<std::mutex> held(ws.lock);
    for (auto it = ws.zOrder.rbegin(); it != ws.zOrder.rend(); ++it) {
      Window* window = *it;
      if (!window->IsVisibleFlag() || window->destroying) continue;
      if (className != nullptr && !SameClassName(window->windowClass->name, className)) continue;
      if (windowName != nullptr && window->text != windowName) continue;
      return ToHandle(window);
    }
  }
  return FindRemoteWindow(className, windowName);
}
