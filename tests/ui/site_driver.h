// Drives the real site window as a user does: finds its controls by name, clicks what is
// visible and enabled, selects rows of the motor list, and chooses the connection to use.
#pragma once

#include <QCoreApplication>
#include <QLatin1String>
#include <QModelIndex>
#include <QPushButton>
#include <QRect>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QWidget>
#include <memory>

#include "send/bus_connection.h"
#include "session.h"
#include "site/frmSite.h"

namespace site_driver {

inline constexpr int frameBytes = 14;

template <typename T = QWidget>
T* in(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// Saves the connection a send or a watch uses, as the Bus connection dialog does.
inline void useLine(const QString& device) {
    BusConnection connection;
    connection.target = *rvx::bus::readTarget(device).target;
    connection.save();
}

// Clicks the named button; false when it is not there, not shown or not enabled.
inline bool click(QWidget& window, const char* name) {
    auto* button = in<QPushButton>(window, name);
    if (button == nullptr || !button->isVisible() || !button->isEnabled()) {
        return false;
    }
    QTest::mouseClick(button, Qt::LeftButton);
    return true;
}

inline void selectAll(frmSite& site) {
    auto* table = in<QTableView>(site, "tblMotors");
    table->setFocus();
    QTest::keyClick(table, Qt::Key_A, Qt::ControlModifier);
}

inline void selectRow(frmSite& site, int row) {
    auto* table = in<QTableView>(site, "tblMotors");
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

inline void showMonitor(frmSite& site) {
    in<QTabWidget>(site, "tabPanes")->setCurrentIndex(1);
}

// A cell of a table as shown; "(no cell)" where the row or column has none.
inline QString cell(const QTableView* table, int row, int column) {
    const QModelIndex index = table->model()->index(row, column);
    return index.isValid() ? index.data().toString() : QStringLiteral("(no cell)");
}

// The site window of a session of its own.
struct SiteWindow {
    Session session;
    frmSite site{session};
};

// Settings of the test program's own, apart from the user's.
inline void useTestSettings(const char* program) {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
    QCoreApplication::setApplicationName(QString::fromLatin1(program));
}

// A new site window on cleared settings, shown and active; false if it never was.
inline bool openSiteWindow(std::unique_ptr<SiteWindow>& window) {
    QSettings().clear();
    window = std::make_unique<SiteWindow>();
    window->site.show();
    return QTest::qWaitForWindowExposed(&window->site) &&
           QTest::qWaitForWindowActive(&window->site);
}

}  // namespace site_driver
