// The start of rvx-string-calculator as its main() (ui/main.cpp) makes it, ending once the main
// window has been painted for the first time.
#include <QApplication>

#include "application.h"
#include "main/frmMain.h"
#include "quit_on_first_paint.h"
#include "session.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    ui::prepareApplication();
    Session session;
    frmMain window(session);
    const QuitOnFirstPaint quit(&window);
    window.show();
    const int status = QApplication::exec();
    return saveFirstPaintIfAsked(window) ? status : 1;
}
