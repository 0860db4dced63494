#include "platform/ui/core/InstanceDirectory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

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
    return path;
  }();
  return directory;
}

std::string InstanceEntryName(long pid, uintptr_t handle) {
  return std::to_string(pid) + "-" + std::to_string(handle) + ".win";
}

std::string InstanceSocketPath(long pid) { return InstanceDirectory() + "/" + std::to_string(pid) + ".sock"; }

bool ReadLiveInstanceEntry(const std::string& path, std::string* content) {
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
