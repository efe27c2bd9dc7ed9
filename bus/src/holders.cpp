#include <QCoreApplication>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

#include "link.h"

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

QString commandOf(qint64 pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    return comm.open(QIODevice::ReadOnly) ? QString::fromUtf8(comm.read(64)).trimmed() : QString();
}

}  // namespace
#endif

std::optional<QString> otherHolder(const QString& device) {
#ifdef Q_OS_LINUX
    // This process and the ones that started it: a script that keeps the port open while it
    // runs this program lends it the port.
    QSet<qint64> ours;
    for (qint64 pid = QCoreApplication::applicationPid(); pid > 1 && !ours.contains(pid);
         pid = parentOf(pid)) {
        ours.insert(pid);
    }
    // Read with the standard library's directory walk and link reading: one readdir and one
    // readlink a descriptor, nothing more, as a desktop has thousands of them open.
    namespace fs = std::filesystem;
    const fs::path wanted = QFile::encodeName(device).toStdString();
    std::error_code error;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string name = process->path().filename().string();
        if (name.empty() ||
            !std::ranges::all_of(name, [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        const qint64 pid = std::stoll(name);
        if (ours.contains(pid)) {
            continue;
        }
        // Another user's processes cannot be looked into; an open port of theirs is seen
        // only where they hold a lock on it.
        std::error_code unreadable;
        for (fs::directory_iterator fd(process->path() / "fd", unreadable), last;
             !unreadable && fd != last; fd.increment(unreadable)) {
            std::error_code gone;
            if (fs::read_symlink(fd->path(), gone) == wanted && !gone) {
                const QString command = commandOf(pid);
                return (command.isEmpty() ? QStringLiteral("process %1")
                                          : command + QStringLiteral(", process %1"))
                    .arg(pid);
            }
        }
    }
#else
    (void)device;
#endif
    return std::nullopt;
}

}  // namespace rvx::bus::detail
