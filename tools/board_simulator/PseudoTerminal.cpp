#include "PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace board {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

PseudoTerminal::~PseudoTerminal() {
    Unlink();
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::Open(std::string& error) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = SystemError("posix_openpt");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = SystemError("unlockpt");
        return false;
    }
    char name[PATH_MAX];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        error = SystemError("ptsname");
        return false;
    }
    m_slavePath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        error = SystemError("open " + m_slavePath);
        return false;
    }
    termios settings{};
    if (::tcgetattr(m_slave, &settings) != 0) {
        error = SystemError("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B115200);
    ::cfsetospeed(&settings, B115200);
    settings.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(m_slave, TCSANOW, &settings) != 0) {
        error = SystemError("tcsetattr");
        return false;
    }
    // Replies must never block the loop when nobody reads the slave.
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl");
        return false;
    }
    return true;
}

bool PseudoTerminal::Link(const std::string& linkPath, std::string& error) {
    const auto slash = linkPath.rfind('/');
    if (slash != std::string::npos) {
        const std::string folder = linkPath.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            error = SystemError("mkdir " + folder);
            return false;
        }
    }
    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath + " exists and is not a symbolic link";
        return false;
    }
    // Link under a temporary name and rename it over any stale link in one step.
    const std::string temporary = linkPath + ".tmp" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(m_slavePath.c_str(), temporary.c_str()) != 0) {
        error = SystemError("symlink " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = SystemError("rename " + linkPath);
        ::unlink(temporary.c_str());
        return false;
    }
    m_linkPath = linkPath;
    return true;
}

void PseudoTerminal::Unlink() {
    if (m_linkPath.empty())
        return;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
    // Another simulator may have taken the name over since; leave its link alone.
    if (length >= 0 && std::string(target, static_cast<std::size_t>(length)) == m_slavePath)
        ::unlink(m_linkPath.c_str());
    m_linkPath.clear();
}

} // namespace board
