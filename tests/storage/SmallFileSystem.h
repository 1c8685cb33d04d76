#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// Puts the test process in a mount namespace of its own, so that the file systems it
// mounts vanish with it whatever happens. False without the right to (not root).
inline bool EnterOwnMountNamespace() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// A tmpfs of a given size and number of inodes, mounted on a temporary folder.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const QByteArray& options) {
        m_mounted = m_dir.isValid() && ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(),
                                               "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Writes a file until the file system has no byte left.
    bool fillBlocks(const QString& name) const {
        QFile file(filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray page(4096, 'x');
        while (file.write(page) == page.size()) {
        }
        return file.error() == QFileDevice::ResourceError; // ENOSPC
    }

    // Makes empty files until no inode is left.
    bool fillInodes() const {
        for (int i = 0; i < 100000; ++i) {
            const QByteArray name = QFile::encodeName(filePath(QStringLiteral("inode%1").arg(i)));
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            if (fd < 0)
                return errno == ENOSPC;
            ::close(fd);
        }
        return false;
    }

    // Makes the folder read-only while `file` in it stays writable, as a sandbox that
    // lends a program one file does: the file is a writable mount of its own.
    bool lendOnly(const QString& file) const {
        const QByteArray target = QFile::encodeName(filePath(file));
        const QByteArray folder = QFile::encodeName(m_dir.path());
        return ::mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) == 0 &&
               ::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                       nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};
