// Velkor RVX String Calculator: starts the application and shows the main window.
#include <QApplication>

#include "frmMain.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("rvx-string-calculator"));
    QApplication::setApplicationVersion(QStringLiteral(RVX_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velkor Systems"));
    QGuiApplication::setDesktopFileName(QStringLiteral(RVX_APP_ID));
    frmMain window;
    window.show();
    return QApplication::exec();
}
