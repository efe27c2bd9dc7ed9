#include "save_whole.h"

#include <QSaveFile>

bool saveWhole(const QString& path, const QByteArray& bytes, QString* problem) {
    QSaveFile file(path);
    bool whole = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    for (qsizetype done = 0; whole && done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        whole = written > 0;
        done += whole ? static_cast<qsizetype>(written) : 0;
    }
    if (whole && file.commit()) {
        return true;
    }
    if (problem != nullptr) {
        *problem = path + QStringLiteral(": ") + file.errorString();
    }
    file.cancelWriting();
    return false;
}
