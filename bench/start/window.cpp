// The start of rvx-string-calculator as its main() makes it, ending once the main window has
// been painted for the first time.
#include <QApplication>

#include "frmMain.h"
#include "quit_on_first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    frmMain window;
    const QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
