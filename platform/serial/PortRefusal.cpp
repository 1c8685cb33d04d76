#include "PortRefusal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string LinkTarget(const std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string ProcessName(const std::string& pid) {
    std::string name;
    if (FILE* file = std::fopen(("/proc/" + pid + "/comm").c_str(), "r")) {
        char buffer[64] = {};
        if (std::fgets(buffer, sizeof buffer, file))
            name = buffer;
        std::fclose(file);
    }
    while (!name.empty() && name.back() == '\n')
        name.pop_back();
    return name;
}

bool HoldsFile(const std::string& pid, const std::string& device) {
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (!fds)
        return false; // another user's process, or gone
    bool holds = false;
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] != '.' && LinkTarget(folder + "/" + entry->d_name) == device) {
            holds = true;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

std::string GroupOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return {};
    const group* entry = ::getgrgid(st.st_gid);
    return entry ? std::string(entry->gr_name) : std::to_string(st.st_gid);
}

// What to do about the programs that take serial adapters on their own.
std::string AdviceFor(const std::string& program) {
    if (program == "brltty")
        return "点字ディスプレイを使わないなら sudo apt remove brltty で外せます。";
    if (program == "ModemManager")
        return "差し込み直後のアダプタを数秒調べます。少し待ってから選び直すか、"
               "udev規則で ENV{ID_MM_DEVICE_IGNORE}=\"1\" を付けてください。";
    return {};
}

std::string ExplainPermission(const std::string& device) {
    const std::string group = GroupOf(device);
    if (group.empty())
        return device + " を開く権限がありません。";
    return device + " を開く権限がありません (グループ " + group + ")。sudo usermod -aG " + group +
           " $USER を実行し、ログインし直してください。";
}

std::string ExplainHeld(const std::string& device, const std::vector<TPortHolder>& holders) {
    if (holders.empty())
        return device + " は他のプログラムが使用中です。";
    const TPortHolder& holder = holders.front();
    std::string line =
        device + " は " + holder.name + " (PID " + std::to_string(holder.pid) + ") が使用中です。";
    const std::string advice = AdviceFor(holder.name);
    return advice.empty() ? line : line + advice;
}

std::string ExplainMissing(const std::string& path) {
    struct stat st;
    const bool isLink = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    const std::string missing = isLink ? path + " の指す " + LinkTarget(path) + " がありません。"
                                       : path + " がありません。";
    return missing + "アダプタが接続されていない可能性があります。";
}

} // namespace

std::vector<TPortHolder> FindPortHolders(const std::string& path) {
    std::vector<TPortHolder> holders;
    const std::string device = RealPath(path);
    if (device.empty())
        return holders;
    const std::string self = std::to_string(::getpid());
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return holders;
    while (const dirent* entry = ::readdir(processes)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        if (HoldsFile(pid, device))
            holders.push_back({std::atoi(pid.c_str()), ProcessName(pid)});
    }
    ::closedir(processes);
    return holders;
}

std::string ExplainPortRefusal(const TPortRefusal& refusal) {
    const bool held = refusal.error == EBUSY || refusal.error == EWOULDBLOCK;
    return ExplainPortRefusal(refusal,
                              held ? FindPortHolders(refusal.path) : std::vector<TPortHolder>{});
}

std::string ExplainPortRefusal(const TPortRefusal& refusal,
                               const std::vector<TPortHolder>& holders) {
    if (refusal.error == 0)
        return {};
    const std::string real = RealPath(refusal.path);
    const std::string& device = real.empty() ? refusal.path : real;
    switch (refusal.error) {
    case EACCES:
    case EPERM:
        return ExplainPermission(device);
    case EBUSY:
    case EWOULDBLOCK:
        return ExplainHeld(device, holders);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return ExplainMissing(refusal.path);
    default:
        return device + ": " + std::strerror(refusal.error);
    }
}
