// Velkor RVX String Calculator: starts the application and shows the main window. The session
// (the bus connections and the one sender with its log) is made here once, for every window.
#include <QApplication>

#include "application.h"
#include "main/frmMain.h"
#include "session.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::prepareApplication();
    Session session;
    frmMain window(session);
    window.show();
    return QApplication::exec();
}
