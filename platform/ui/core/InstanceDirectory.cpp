#include "platform/ui/core/InstanceDirectory.h"

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

namespace {
// An entry holds a magic word, two numbers and a class and title in hex: far less than this.
constexpr off_t kMaxEntryBytes = 8191;

int LockDirectory(const std::string& directory, int operation) {
  const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return -1;
  if (flock(fd, operation | LOCK_NB) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool IsSocketName(const char* name) {
  const size_t length = std::strlen(name);
  if (length <= 5 || std::strcmp(name + length - 5, ".sock") != 0) return false;
  for (size_t i = 0; i + 5 < length; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

// True when nothing is bound to the socket at `path` any more: its process closed it or ended.
// (Connecting a datagram socket never waits.)
bool NobodyListensOn(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool refused =
      connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == ECONNREFUSED;
  close(probe);
  return refused;
}

// Removes the "<pid>.sock" sockets of this user that nobody is bound to. Each is probed and removed
// under the directory's exclusive lock; while another process binds (or removes) one, it is left
// for a later run.
void RemoveStaleSockets(const std::string& directory) {
  DIR* listing = opendir(directory.c_str());
  if (listing == nullptr) return;
  const int directoryFd = dirfd(listing);
  while (dirent* item = readdir(listing)) {
    if (!IsSocketName(item->d_name)) continue;
    const int lock = LockDirectory(directory, LOCK_EX);
    if (lock < 0) break;
    struct stat info {};
    if (fstatat(directoryFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISSOCK(info.st_mode) &&
        info.st_uid == getuid() && NobodyListensOn(directory + "/" + item->d_name)) {
      unlinkat(directoryFd, item->d_name, 0);
    }
    close(lock);
  }
  closedir(listing);
}
}  // namespace

// The user's private registry directory, made on first use; empty when none can be had.
const std::string& InstanceDirectory() {
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
      std::fprintf(stderr,
                   "orvan: %s is not a private directory of this user; windows of other processes are not found\n",
                   path.c_str());
      return std::string();
    }
    RemoveStaleSockets(path);
    return path;
  }();
  return directory;
}

std::string InstanceEntryName(long pid, uintptr_t handle) {
  return std::to_string(pid) + "-" + std::to_string(handle) + ".win";
}

std::string InstanceSocketPath(long pid) { return InstanceDirectory() + "/" + std::to_string(pid) + ".sock"; }

int LockInstanceDirectory(int operation) {
  const std::string& directory = InstanceDirectory();
  return directory.empty() ? -1 : LockDirectory(directory, operation);
}

bool ReadLiveInstanceEntry(const std::string& path, std::string* content) {
  // Not waiting for a writer (a FIFO), not following a link: what is opened is checked first.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat opened {};
  if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != getuid() ||
      opened.st_size > kMaxEntryBytes) {
    close(fd);
    return false;
  }
  if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
    // Nobody holds it: its process ended. Remove it unless it was replaced meanwhile.
    struct stat named {};
    if (lstat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
      unlink(path.c_str());
    }
    close(fd);
    return false;
  }
  char buffer[kMaxEntryBytes + 1];
  const ssize_t got = read(fd, buffer, sizeof buffer - 1);
  close(fd);
  if (got <= 0) return false;
  content->assign(buffer, size_t(got));
  return true;
}
