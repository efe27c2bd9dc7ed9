// A second yardstick of the window's start: the bare Qt window with one caption in it, which
// makes Qt load its font database (fontconfig) as every window that shows text must.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#include "quit_on_first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    QLabel caption(QStringLiteral("Help"), &window);
    const QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
