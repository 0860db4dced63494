#include "platform/ui/core/InstanceRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/kernel/WideText.h"
#include "platform/ui/core/ForegroundRequests.h"
#include "platform/ui/core/InstanceDirectory.h"
#include "platform/ui/core/WindowCalls.h"

namespace {
constexpr uintptr_t kRemoteBit = kRemoteHandleBit;
constexpr const char* kEntryMagic = "orvan-window";

struct Entry {
  int fd = -1;
  std::string path;
  std::string content;
};

struct Registry {
  std::mutex lock;
  std::map<uintptr_t, Entry> entries;  // this process's published windows
  // Windows of other processes this process has named: handle kRemoteBit | 4 * index.
  std::vector<std::pair<long, uintptr_t>> remote;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
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
  // Nothing left to bring forward: the socket goes with the last entry.
  if (registry.entries.empty()) StopListeningForForegroundRequests();
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

// The handle naming window `handle` of process `pid` here: the same one each time it is found.
HWND RemoteHandleFor(long pid, uintptr_t handle) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> held(registry.lock);
  const std::pair<long, uintptr_t> key{pid, handle};
  size_t index = 0;
  while (index < registry.remote.size() && registry.remote[index] != key) ++index;
  if (index == registry.remote.size()) registry.remote.push_back(key);
  return reinterpret_cast<HWND>(kRemoteBit | (uintptr_t(index) << 2));
}

// The process and its own handle behind a remote handle (bit 0 ignored); false for an unknown one.
bool ResolveRemote(HWND window, long* pid, uintptr_t* handle) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(window) & ~uintptr_t(1);
  if ((value & ~uintptr_t(0x7FFFFFFF)) != 0 || (value & kRemoteBit) == 0 || (value & 2) != 0) return false;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> held(registry.lock);
  const size_t index = (value & ~kRemoteBit) >> 2;
  if (index >= registry.remote.size()) return false;
  *pid = registry.remote[index].first;
  *handle = registry.remote[index].second;
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

bool IsRemoteWindowHandle(HWND window) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(window);
  return (value & kRemoteBit) != 0 && (value & ~uintptr_t(0x7FFFFFFF)) == 0;
}

void UpdateInstanceEntry(HWND handle) {
  if (handle == nullptr || InstanceDirectory().empty()) return;
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
  ListenForForegroundRequests();
  // Written under a temporary name, locked, then renamed into place: readers never see half an
  // entry, and the entry is locked from the moment it appears.
  const std::string path = InstanceDirectory() + "/" + InstanceEntryName(pid, key);
  const std::string temporary = InstanceDirectory() + "/.tmp-" + InstanceEntryName(pid, key);
  // A fresh file (one left by a killed process with this id is removed first); never a FIFO or
  // device put under the name, which could hold the open.
  unlink(temporary.c_str());
  const int fd = open(temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
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
  const std::string& directory = InstanceDirectory();
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
    if (!ReadLiveInstanceEntry(directory + "/" + name, &content)) continue;
    ParsedEntry entry;
    if (!Parse(content, &entry) || entry.pid == self || entry.pid <= 0 || entry.pid >= (1L << 30)) continue;
    if (entry.handle == 0 || entry.handle > 0xFFFFFFFFu) continue;
    if (className != nullptr && !SameClass(entry.className, wantedClass)) continue;
    if (windowName != nullptr && entry.title != wantedTitle) continue;
    found = RemoteHandleFor(entry.pid, entry.handle);
    break;
  }
  closedir(listing);
  return found;
}

bool IsRemoteWindowLive(HWND window) {
  long pid = 0;
  uintptr_t handle = 0;
  if (!ResolveRemote(window, &pid, &handle) || InstanceDirectory().empty()) return false;
  std::string content;
  return ReadLiveInstanceEntry(InstanceDirectory() + "/" + InstanceEntryName(pid, handle), &content);
}

bool BringRemoteWindowForward(HWND window) {
  long pid = 0;
  uintptr_t handle = 0;
  if (!IsRemoteWindowLive(window) || !ResolveRemote(window, &pid, &handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return SendForegroundRequest(pid, handle, (reinterpret_cast<uintptr_t>(window) & 1) != 0);
}
