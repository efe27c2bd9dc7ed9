// Velkor RVX String Calculator: starts the application and shows the main window. The session
// (the bus connections and the one sender with its log) is made here once, for every window.
#include <QApplication>

#include "controls.h"
#include "main/frmMain.h"
#include "session.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rvx-string-calculator"));
    QApplication::setApplicationVersion(QStringLiteral(RVX_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velkor Systems"));
    QGuiApplication::setDesktopFileName(QStringLiteral(RVX_APP_ID));
    // The windows' plain face as the application's font: a text field lays out its first
    // text in the application font, and one face loaded spares loading a second.
    QApplication::setFont(ui::fontFor(ui::FontStyle::Default));
    Session session;
    frmMain window(session);
    window.show();
    return QApplication::exec();
}
