// The yardstick of the window's start: a bare Qt Widgets program showing an empty QWidget.
#include <QApplication>
#include <QWidget>

#include "quit_on_first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    const QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
