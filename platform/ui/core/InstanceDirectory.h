// The per-user directory where processes list their top-level windows for each other, and the
// names of the files in it (see InstanceRegistry.h for the scheme).
#pragma once

#include <cstdint>
#include <string>

// The directory, made on first use; empty (after one line on stderr) when no private directory can
// be had. On first use it also removes the sockets of processes that ended without removing their
// own (killed outright).
const std::string& InstanceDirectory();
std::string InstanceEntryName(long pid, uintptr_t handle);
std::string InstanceSocketPath(long pid);
// Reads an entry whose process lives (it holds the entry's lock). An entry whose lock is free
// belongs to a process that ended: it is removed, and false returned. Anything but a small regular
// file under the name (a FIFO, a device, a directory, a symbolic link, a huge file) is skipped
// without being opened for reading or waited on.
bool ReadLiveInstanceEntry(const std::string& path, std::string* content);
// The directory opened and locked with flock `operation` (LOCK_SH or LOCK_EX), never waiting: -1
// when another process holds it the other way. A process binding its socket holds it shared, one
// removing a stale socket exclusive, so a socket bound meanwhile is never taken for the stale one.
int LockInstanceDirectory(int operation);
