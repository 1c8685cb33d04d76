#include "CommPortPath.h"

#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::mutex g_folderMutex;
std::string g_folderOverride;
} // namespace

std::string ResolveCommPortPath(int portNo, const std::string& portFolder) {
    if (portNo < 1)
        return {};
    const std::string name = "COM" + std::to_string(portNo);
    if (!portFolder.empty()) {
        const std::string link = portFolder + "/ports/" + name;
        struct stat st;
        // lstat: a link to a device that is unplugged still names the port the user chose.
        if (::lstat(link.c_str(), &st) == 0)
            return link;
    }
    if (portNo <= 10)
        return "/dev/ttyUSB" + std::to_string(portNo - 1);
    if (portNo <= 20)
        return "/dev/ttyACM" + std::to_string(portNo - 11);
    if (portNo <= 30)
        return "/dev/ttyS" + std::to_string(portNo - 21);
    return {};
}

std::string ExecutableFolder() {
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string CommPortFolder() {
    {
        std::lock_guard lock(g_folderMutex);
        if (!g_folderOverride.empty())
            return g_folderOverride;
    }
    return ExecutableFolder();
}

void SetCommPortFolder(const std::string& folder) {
    std::lock_guard lock(g_folderMutex);
    g_folderOverride = folder;
}
