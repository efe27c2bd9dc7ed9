// The yardstick of the window's start: a bare Qt Widgets program showing an empty QWidget, at
// Qt's default size or at the size given as WIDTH HEIGHT.
#include <QApplication>
#include <QWidget>

#include "quit_on_first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    if (argc == 3) {
        window.resize(QString::fromLatin1(argv[1]).toInt(), QString::fromLatin1(argv[2]).toInt());
    }
    const QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
