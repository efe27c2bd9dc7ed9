#include "site/site_document.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <iterator>
#include <string_view>

#include "save_whole.h"
#include "text.h"

using ui::fromView;

namespace {

const QString recentKey = QStringLiteral("site/recent");
constexpr int recentCount = 8;
// The bad lines a refusal names; the rest are counted.
constexpr std::size_t namedProblems = 5;

}  // namespace

SiteDocument::SiteDocument(QObject* parent) : QObject(parent) {
    connect(motors_.undoStack(), &QUndoStack::cleanChanged, this, &SiteDocument::changed);
}

bool SiteDocument::modified() const {
    return !motors_.undoStack()->isClean();
}

QString SiteDocument::name() const {
    return path_.isEmpty() ? QStringLiteral("New site") : QFileInfo(path_).fileName();
}

bool SiteDocument::open(const QString& path, QString* problem) {
    const auto fail = [problem](const QString& why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return false;
    };
    QFile file(path);
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        return fail(path + QStringLiteral(": not a file"));
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(path + QStringLiteral(": ") + file.errorString());
    }
    if (file.size() > maxSiteBytes) {
        return fail(path + QStringLiteral(": larger than %1 MB, no site").arg(maxSiteBytes >> 20));
    }
    const QByteArray bytes = file.read(maxSiteBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        return fail(path + QStringLiteral(": ") + file.errorString());
    }
    auto reading = rvx::readMotorList(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (!reading.ok()) {
        QStringList lines;
        for (std::size_t k = 0; k < reading.problems.size() && k < namedProblems; ++k) {
            lines.append(fromView(reading.problems[k]));
        }
        if (reading.problems.size() > namedProblems) {
            lines.append(
                QStringLiteral("and %1 more").arg(reading.problems.size() - namedProblems));
        }
        return fail(path + QStringLiteral(":\n") + lines.join(QLatin1Char('\n')));
    }
    // Every motor the engine read has a right address.
    motors_.setMotors(QList<rvx::Motor>(std::make_move_iterator(reading.motors.begin()),
                                        std::make_move_iterator(reading.motors.end())));
    path_ = path;
    remember(path);
    emit changed();
    return true;
}

void SiteDocument::startNew() {
    motors_.setMotors({});
    path_.clear();
    emit changed();
}

QStringList SiteDocument::repeatedAddresses() const {
    QStringList said;
    QSet<QString> seen;
    for (int row = 0; row < motors_.rowCount(); ++row) {
        if (motors_.repeated(row)) {
            const QString text = motors_.repeatedText(row);
            if (!seen.contains(text)) {
                seen.insert(text);
                said.append(text);
            }
        }
    }
    return said;
}

QByteArray SiteDocument::text() const {
    QByteArray text;
    for (const rvx::Motor& motor : motors_.motors()) {
        const std::string line = rvx::writeMotorLine(motor);
        text.append(line.data(), static_cast<qsizetype>(line.size()));
        text.append('\n');
    }
    return text;
}

bool SiteDocument::saveTo(const QString& path, QString* problem) {
    if (!saveWhole(path, text(), problem)) {
        return false;
    }
    path_ = path;
    motors_.undoStack()->setClean();
    remember(path);
    emit changed();
    return true;
}

QStringList SiteDocument::recentSites() {
    return QSettings().value(recentKey).toStringList();
}

void SiteDocument::remember(const QString& path) {
    QStringList recent = recentSites();
    const QString full = QFileInfo(path).absoluteFilePath();
    recent.removeAll(full);
    recent.prepend(full);
    while (recent.size() > recentCount) {
        recent.removeLast();
    }
    QSettings().setValue(recentKey, recent);
    emit recentChanged();
}
