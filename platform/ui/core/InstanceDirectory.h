// The per-user directory where processes list their top-level windows for each other, and the
// names of the files in it (see InstanceRegistry.h for the scheme).
#pragma once

#include <cstdint>
#include <string>

// The directory, made on first use; empty (after one line on stderr) when no private directory can
// be had.
const std::string& InstanceDirectory();
std::string InstanceEntryName(long pid, uintptr_t handle);
std::string InstanceSocketPath(long pid);
// Reads an entry whose process lives (it holds the entry's lock). An entry whose lock is free
// belongs to a process that ended: it is removed, and false returned.
bool ReadLiveInstanceEntry(const std::string& path, std::string* content);
