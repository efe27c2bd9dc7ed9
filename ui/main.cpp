// Velkor RVX String Calculator: starts the application and shows the main window.
#include <QApplication>

#include "frmMain.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    frmMain window;
    window.show();
    return QApplication::exec();
}
