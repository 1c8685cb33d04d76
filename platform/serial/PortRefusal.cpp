#include "PortRefusal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <grp.h>
#include <iterator>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Where the installed package keeps its example udev rules.
constexpr const char* kUdevRulesExample = "/usr/share/doc/tapdeck/examples/60-tapdeck-serial.rules";
// Holders named in the line; the rest are counted.
constexpr std::size_t kNamedHolders = 3;

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

std::string ReadWhole(const char* path) {
    std::string text;
    if (FILE* file = std::fopen(path, "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

enum class EHolds { No, Yes, Hidden };

EHolds HoldsFile(const std::string& pid, const std::string& device) {
    const std::string folder = "/proc/" + pid + "/fd";
    DIR* fds = ::opendir(folder.c_str());
    if (!fds)
        return errno == EACCES ? EHolds::Hidden : EHolds::No; // another user's, or gone
    EHolds holds = EHolds::No;
    while (const dirent* entry = ::readdir(fds)) {
        if (entry->d_name[0] != '.' && LinkTarget(folder + "/" + entry->d_name) == device) {
            holds = EHolds::Yes;
            break;
        }
    }
    ::closedir(fds);
    return holds;
}

// "crw-rw----", the way ls shows a mode.
std::string ModeText(mode_t mode) {
    std::string text = S_ISCHR(mode)    ? "c"
                       : S_ISBLK(mode)  ? "b"
                       : S_ISDIR(mode)  ? "d"
                       : S_ISLNK(mode)  ? "l"
                       : S_ISFIFO(mode) ? "p"
                       : S_ISSOCK(mode) ? "s"
                                        : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? letters[bit] : '-';
    return text;
}

// Joining the group helps only when its bits let it read and write, and root's group
// is no group to join.
bool GroupMayOpen(const TDeviceAccess& access) {
    const mode_t readWrite = S_IRGRP | S_IWGRP;
    return (access.mode & readWrite) == readWrite && !access.group.empty() &&
           access.group != "root" && access.group != "0";
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

std::string ExplainPermission(const std::string& device, const TDeviceAccess& access) {
    if (!access.known)
        return device + " を開く権限がありません。";
    if (GroupMayOpen(access))
        return device + " を開く権限がありません (グループ " + access.group +
               ")。sudo usermod -aG " + access.group +
               " $USER を実行し、ログインし直してください。";
    const std::string andRoot = access.owner == "root" ? "" : " と root";
    return device + " を開く権限がありません (" + ModeText(access.mode) + " " + access.owner + " " +
           access.group + ")。開けるのは所有者 " + access.owner + andRoot +
           " だけです。udev規則でグループと MODE=\"0660\" を付けてください (例: " +
           kUdevRulesExample + ")。";
}

std::string ExplainHeld(const std::string& device, const std::vector<TPortHolder>& holders) {
    if (holders.empty())
        return device + " は他のプログラムが使用中です。";
    const std::size_t named = std::min(holders.size(), kNamedHolders);
    std::string names;
    std::string advice;
    for (std::size_t i = 0; i < named; ++i) {
        const TPortHolder& holder = holders[i];
        if (i > 0)
            names += "、";
        names += holder.name + " (PID " + std::to_string(holder.pid) + ")";
        const std::string more = AdviceFor(holder.name);
        if (advice.find(more) == std::string::npos)
            advice += more;
    }
    const std::string counted =
        holders.size() > named ? " 他 " + std::to_string(holders.size() - named) + " 件" : " ";
    return device + " は " + names + counted + "が使用中です。" + advice;
}

std::string ExplainMissing(const std::string& path) {
    struct stat st;
    const bool isLink = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    const std::string missing = isLink ? path + " の指す " + LinkTarget(path) + " がありません。"
                                       : path + " がありません。";
    return missing + "アダプタが接続されていない可能性があります。";
}

} // namespace

TDeviceAccess LookUpDeviceAccess(const std::string& path) {
    TDeviceAccess access;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return access;
    access.known = true;
    access.mode = st.st_mode;
    const passwd* user = ::getpwuid(st.st_uid);
    access.owner = user ? std::string(user->pw_name) : std::to_string(st.st_uid);
    const group* entry = ::getgrgid(st.st_gid);
    access.group = entry ? std::string(entry->gr_name) : std::to_string(st.st_gid);
    return access;
}

std::vector<int> ParseLockHolders(const std::string& locks, dev_t fileSystem, ino_t inode) {
    std::vector<int> pids;
    std::istringstream lines(locks);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        const std::vector<std::string> fields{std::istream_iterator<std::string>(words),
                                              std::istream_iterator<std::string>()};
        // "1: -> FLOCK ..." waits for the lock of the line above it.
        if (std::find(fields.begin(), fields.end(), "->") != fields.end())
            continue;
        // The pid stands before "major:minor:inode" (hexadecimal, hexadecimal, decimal).
        for (std::size_t i = 1; i < fields.size(); ++i) {
            unsigned major = 0;
            unsigned minor = 0;
            unsigned long long number = 0;
            char rest = 0;
            if (std::sscanf(fields[i].c_str(), "%x:%x:%llu%c", &major, &minor, &number, &rest) != 3)
                continue;
            const int pid = std::atoi(fields[i - 1].c_str()); // -1 for a lock of no process
            if (pid > 0 && makedev(major, minor) == fileSystem && number == inode &&
                std::find(pids.begin(), pids.end(), pid) == pids.end())
                pids.push_back(pid);
            break;
        }
    }
    return pids;
}

std::vector<TPortHolder> LockHoldersFirst(std::vector<TPortHolder> holders,
                                          const std::vector<int>& lockers) {
    const auto rank = [&lockers](const TPortHolder& holder) {
        return std::find(lockers.begin(), lockers.end(), holder.pid) - lockers.begin();
    };
    std::stable_sort(
        holders.begin(), holders.end(),
        [&rank](const TPortHolder& a, const TPortHolder& b) { return rank(a) < rank(b); });
    return holders;
}

std::vector<TPortHolder> FindPortHolders(const std::string& path) {
    std::vector<TPortHolder> holders;
    const std::string device = RealPath(path);
    struct stat st;
    if (device.empty() || ::stat(device.c_str(), &st) != 0)
        return holders;
    const std::string self = std::to_string(::getpid());
    DIR* processes = ::opendir("/proc");
    if (!processes)
        return holders;
    while (const dirent* entry = ::readdir(processes)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
            continue;
        if (HoldsFile(pid, device) == EHolds::Yes)
            holders.push_back({std::atoi(pid.c_str()), ProcessName(pid)});
    }
    ::closedir(processes);
    const std::vector<int> lockers =
        ParseLockHolders(ReadWhole("/proc/locks"), st.st_dev, st.st_ino);
    for (const int locker : lockers) {
        // Another user's process hides its descriptors but not its lock.
        const std::string pid = std::to_string(locker);
        const bool seen = std::any_of(holders.begin(), holders.end(),
                                      [locker](const TPortHolder& h) { return h.pid == locker; });
        if (!seen && pid != self && HoldsFile(pid, device) == EHolds::Hidden) {
            const std::string name = ProcessName(pid);
            if (!name.empty())
                holders.push_back({locker, name});
        }
    }
    return LockHoldersFirst(std::move(holders), lockers);
}

std::string ExplainPortRefusal(const TPortRefusal& refusal) {
    const bool held = refusal.error == EBUSY || refusal.error == EWOULDBLOCK;
    const bool denied = refusal.error == EACCES || refusal.error == EPERM;
    return ExplainPortRefusal(refusal,
                              held ? FindPortHolders(refusal.path) : std::vector<TPortHolder>{},
                              denied ? LookUpDeviceAccess(refusal.path) : TDeviceAccess{});
}

std::string ExplainPortRefusal(const TPortRefusal& refusal, const std::vector<TPortHolder>& holders,
                               const TDeviceAccess& access) {
    if (refusal.error == 0)
        return {};
    const std::string real = RealPath(refusal.path);
    const std::string& device = real.empty() ? refusal.path : real;
    switch (refusal.error) {
    case EACCES:
    case EPERM:
        return ExplainPermission(device, access);
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
