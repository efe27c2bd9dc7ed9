// Who else holds a serial port, from what Linux shows of every process in /proc: the open files
// of each (/proc/PID/fd) and the locks on files (/proc/locks).
#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include "link.h"

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

namespace rvx::bus::detail {

#ifdef Q_OS_LINUX
namespace {

// The process that started pid, from /proc/PID/stat ("PID (COMMAND) STATE PPID ..."; the
// command may hold blanks and parentheses, so it is read after the last ')').
qint64 parentOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray text = stat.read(4096);
    const qsizetype end = text.lastIndexOf(')');
    if (end < 0) {
        return 0;
    }
    const QList<QByteArray> fields = text.mid(end + 1).simplified().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : 0;
}

// This process and the ones that started it: a script that keeps the port open while it runs
// this program lends it the port.
QSet<qint64> ownProcesses() {
    QSet<qint64> ours;
    for (qint64 pid = QCoreApplication::applicationPid(); pid > 1 && !ours.contains(pid);
         pid = parentOf(pid)) {
        ours.insert(pid);
    }
    return ours;
}

// The program's name: the system keeps 15 characters of it, so a longer one is taken from the
// program's first argument where that starts the same ("rvx-string-calculator").
QString commandOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray name = comm.read(64).trimmed();
    constexpr qsizetype kept = 15;
    if (name.size() == kept) {
        QFile arguments(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (arguments.open(QIODevice::ReadOnly)) {
            QByteArray first = arguments.read(4096);
            first.truncate(first.indexOf('\0') < 0 ? first.size() : first.indexOf('\0'));
            first = first.mid(first.lastIndexOf('/') + 1);
            if (first.startsWith(name)) {
                return QString::fromUtf8(first);
            }
        }
    }
    return QString::fromUtf8(name);
}

QString named(qint64 pid) {
    const QString command = commandOf(pid);
    return (command.isEmpty() ? QStringLiteral("process %1")
                              : command + QStringLiteral(", process %1"))
        .arg(pid);
}

// A process number as /proc names its directory; -1 for any other entry.
qint64 pidOf(const char* name) {
    qint64 pid = 0;
    if (*name == '\0') {
        return -1;
    }
    for (; *name != '\0'; ++name) {
        if (*name < '0' || *name > '9') {
            return -1;
        }
        pid = pid * 10 + (*name - '0');
    }
    return pid;
}

// A directory read entry by entry, closed when it goes.
class Directory {
public:
    Directory(int at, const char* path)
        : dir_([at, path] {
              const int descriptor = ::openat(at, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
              DIR* dir = descriptor >= 0 ? ::fdopendir(descriptor) : nullptr;
              if (dir == nullptr && descriptor >= 0) {
                  ::close(descriptor);
              }
              return dir;
          }()) {}
    ~Directory() {
        if (dir_ != nullptr) {
            ::closedir(dir_);
        }
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;

    [[nodiscard]] bool isOpen() const { return dir_ != nullptr; }
    [[nodiscard]] int descriptor() const { return ::dirfd(dir_); }
    // The next entry's name other than . and .., or nullptr at the end.
    [[nodiscard]] const char* next() {
        while (const dirent* entry = ::readdir(dir_)) {
            if (entry->d_name[0] != '.') {
                return entry->d_name;
            }
        }
        return nullptr;
    }

private:
    DIR* dir_;
};

// "/proc/PID/fd" and the like, relative to /proc, in a buffer of the caller's.
template <std::size_t size>
const char* under(char (&buffer)[size], const char* pid, const char* what) {
    std::snprintf(buffer, size, "%s/%s", pid, what);
    return buffer;
}

// The number of the pseudo-terminal /dev/pts/N, or -1 for any other device.
long ptyIndexOf(const QByteArray& device) {
    static constexpr char pts[] = "/dev/pts/";
    if (!device.startsWith(pts)) {
        return -1;
    }
    const qint64 index = pidOf(device.constData() + sizeof pts - 1);
    return index >= 0 ? static_cast<long>(index) : -1;
}

// Whether process pid holds the master side of pseudo-terminal index: /proc/PID/fdinfo tells
// the number of the pseudo-terminal behind each /dev/ptmx it has open ("tty-index:").
bool holdsMasterOf(int proc, const char* pid, long index) {
    char path[320];
    Directory descriptors(proc, under(path, pid, "fd"));
    if (!descriptors.isOpen()) {
        return false;
    }
    while (const char* fd = descriptors.next()) {
        char link[64];
        const auto length = ::readlinkat(descriptors.descriptor(), fd, link, sizeof link - 1);
        if (length < 0) {
            continue;
        }
        link[length] = '\0';
        if (std::strcmp(link, "/dev/ptmx") != 0 && std::strcmp(link, "/dev/pts/ptmx") != 0) {
            continue;
        }
        char infoPath[640];
        std::snprintf(infoPath, sizeof infoPath, "%s/fdinfo/%s", pid, fd);
        const int info = ::openat(proc, infoPath, O_RDONLY | O_CLOEXEC);
        if (info < 0) {
            continue;
        }
        char text[1024];
        const auto read = ::read(info, text, sizeof text - 1);
        ::close(info);
        if (read <= 0) {
            continue;
        }
        text[read] = '\0';
        const char* field = std::strstr(text, "tty-index:");
        if (field != nullptr && std::strtol(field + 10, nullptr, 10) == index) {
            return true;
        }
    }
    return false;
}

}  // namespace
#endif

std::optional<QString> otherHolder(const QString& device) {
#ifdef Q_OS_LINUX
    const QSet<qint64> ours = ownProcesses();
    const QByteArray wanted = QFile::encodeName(device);
    const long ptyIndex = ptyIndexOf(wanted);
    // Directory handles, readdir and readlinkat into a buffer of its own: nothing is made for
    // each descriptor, as a desktop has tens of thousands of them open.
    Directory processes(AT_FDCWD, "/proc");
    if (!processes.isOpen()) {
        return std::nullopt;
    }
    char link[PATH_MAX];
    while (const char* name = processes.next()) {
        const qint64 pid = pidOf(name);
        if (pid < 0 || ours.contains(pid)) {
            continue;
        }
        // Another user's processes cannot be looked into; an open port of theirs is seen
        // only where they hold a lock on it.
        char path[320];
        Directory descriptors(processes.descriptor(), under(path, name, "fd"));
        if (!descriptors.isOpen()) {
            continue;
        }
        bool holds = false;
        while (const char* fd = descriptors.next()) {
            const auto length = ::readlinkat(descriptors.descriptor(), fd, link, sizeof link);
            if (length == wanted.size() &&
                std::memcmp(link, wanted.constData(), static_cast<std::size_t>(length)) == 0) {
                holds = true;
                break;
            }
        }
        // The far end of a pseudo-terminal (socat's pair, a terminal emulator) keeps the
        // line's other side as well: it is the line, not a competitor for it.
        if (holds && (ptyIndex < 0 || !holdsMasterOf(processes.descriptor(), name, ptyIndex))) {
            return named(pid);
        }
    }
#else
    (void)device;
#endif
    return std::nullopt;
}

std::optional<QString> lockOwner(const QString& device) {
#ifdef Q_OS_LINUX
    // "1: FLOCK  ADVISORY  WRITE 4242 00:1a:3 0 EOF": the device of the file system and the
    // file's inode, in hexadecimal, hexadecimal and decimal. Lines of waiters hold "->".
    struct stat info {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(device).constData(), &info) != 0 ||
        !locks.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray file = QByteArray::number(major(info.st_dev), 16).rightJustified(2, '0') +
                            ':' +
                            QByteArray::number(minor(info.st_dev), 16).rightJustified(2, '0') +
                            ':' + QByteArray::number(static_cast<qulonglong>(info.st_ino));
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || fields[1] != "FLOCK" || fields[5] != file) {
            continue;
        }
        const qint64 pid = fields[4].toLongLong();
        if (pid == QCoreApplication::applicationPid()) {
            return QStringLiteral("this program itself, process %1").arg(pid);
        }
        if (pid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(pid))) {
            return named(pid);
        }
    }
#else
    (void)device;
#endif
    return std::nullopt;
}

std::optional<QString> lockHolder(const QString& device) {
    if (auto owner = lockOwner(device)) {
        return owner;
    }
    // The process that took the lock is gone; one that inherited the descriptor holds it.
    return otherHolder(device);
}

}  // namespace rvx::bus::detail
