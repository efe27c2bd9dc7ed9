// A site as a document: its motor list (with the undo of every edit), the file it was opened
// from or saved to, whether it has changes not saved, and the sites opened lately. No widgets:
// the window asks and tells; the document answers with what happened.
//
// The site file is the motor list as `rvx-strings --batch` reads it, one motor a line
// (ADDRESS,KIND,"LABEL",ROOM,NOTE), read and written by the engine (rvx/motor_list.h).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include "site/motor_list_model.h"

class SiteDocument : public QObject {
    Q_OBJECT

public:
    explicit SiteDocument(QObject* parent = nullptr);

    [[nodiscard]] MotorListModel& motors() { return motors_; }
    [[nodiscard]] const MotorListModel& motors() const { return motors_; }

    // Opens the file: true, or false and why (the list stays as it was): a file that cannot
    // be read, is larger than maxSiteBytes, is no UTF-8 text or has a bad line (the first five
    // named).
    bool open(const QString& path, QString* problem = nullptr);
    // Makes the site a new one: no motors, no file, nothing to undo.
    void startNew();
    // Writes the list through a temporary file put in place only once whole, so a failed save
    // leaves what was there; false and why.
    bool saveTo(const QString& path, QString* problem = nullptr);

    // What is said of each address given to more than one motor, in list order.
    [[nodiscard]] QStringList repeatedAddresses() const;

    // The file's text for the list as it stands.
    [[nodiscard]] QByteArray text() const;
    // The file the list was last opened from or saved to; empty for a new site.
    [[nodiscard]] const QString& path() const { return path_; }
    // Whether the list has changes not saved.
    [[nodiscard]] bool modified() const;
    // "east-wing.csv", or "New site".
    [[nodiscard]] QString name() const;

    // The site files opened or saved lately, the latest first.
    [[nodiscard]] static QStringList recentSites();

    // The largest site file opened: far above any site, low enough to refuse a file that is
    // no site at once.
    static constexpr qint64 maxSiteBytes = 64 * 1024 * 1024;

signals:
    // The file, its name or whether it is modified changed.
    void changed();
    void recentChanged();

private:
    void remember(const QString& path);

    MotorListModel motors_;
    QString path_;
};
