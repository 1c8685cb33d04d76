#pragma once

#include <string>
#include <vector>

// Why the system refused to open a port: the error number of the step that failed and
// the path that was opened (the device, or the ports/COMn link in front of it).
struct TPortRefusal {
    int error = 0; // 0: nothing was refused
    std::string path;
};

// A process that has a file open.
struct TPortHolder {
    int pid = 0;
    std::string name;
};

// The processes that /proc shows holding the device behind path (only the user's own,
// unless the caller may read every process's descriptors).
std::vector<TPortHolder> FindPortHolders(const std::string& path);

// One line, in Japanese, naming the cause of a refusal and what to do about it; empty
// when nothing was refused. holders: those of the device, for a port held by another
// program (FindPortHolders).
std::string ExplainPortRefusal(const TPortRefusal& refusal,
                               const std::vector<TPortHolder>& holders);
// The same, looking the holders up in /proc when the port is held.
std::string ExplainPortRefusal(const TPortRefusal& refusal);
