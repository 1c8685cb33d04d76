#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Why the system refused to open a port: the error number of the step that failed and
// the path that was opened (the device, or the ports/COMn link in front of it).
struct TPortRefusal {
    int error = 0; // 0: nothing was refused
    std::string path;
};

// The device's mode and who owns it, for a refusal of permission.
struct TDeviceAccess {
    bool known = false; // false: the device could not be looked at
    mode_t mode = 0;    // st_mode: the file's type and permission bits
    std::string owner;  // user name, or the number when it has none
    std::string group;  // group name, or the number when it has none
};

// What stat and the user and group databases say about the device behind path.
TDeviceAccess LookUpDeviceAccess(const std::string& path);

// A process that has a file open.
struct TPortHolder {
    int pid = 0;
    std::string name;
};

// The processes that /proc shows holding the device behind path (only the user's own,
// unless the caller may read every process's descriptors, and the holder of its lock),
// the one holding its lock first.
std::vector<TPortHolder> FindPortHolders(const std::string& path);

// The pids holding a lock on the file with this inode on this file system, from the text
// of /proc/locks, in its order; those waiting for a lock are left out.
std::vector<int> ParseLockHolders(const std::string& locks, dev_t fileSystem, ino_t inode);

// The holders whose pid is among lockers first, in the order of lockers, then the others
// in their own order.
std::vector<TPortHolder> LockHoldersFirst(std::vector<TPortHolder> holders,
                                          const std::vector<int>& lockers);

// One line, in Japanese, naming the cause of a refusal and what to do about it; empty
// when nothing was refused. holders: those of the device, for a port held by another
// program (FindPortHolders); access: the device's, for a refusal of permission
// (LookUpDeviceAccess).
std::string ExplainPortRefusal(const TPortRefusal& refusal, const std::vector<TPortHolder>& holders,
                               const TDeviceAccess& access);
// The same, looking the holders or the device's access up when the refusal needs them.
std::string ExplainPortRefusal(const TPortRefusal& refusal);
