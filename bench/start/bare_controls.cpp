// The floor of the window's start: a plain Qt Widgets program that paints what the main window
// paints first (its menu bar's three titles, the two frames with their options and the help
// button, the send strip), in the same places and faces, with nothing of the program behind it.
// `ctest -R start.same-paint` checks that the two first paints are the same pixels.
#include <QApplication>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include "quit_on_first_paint.h"

namespace {

QFont face(qreal points, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

template <typename T>
T* place(T* widget, int left, int top, int width, int height, const QFont& font) {
    widget->setGeometry(left, top, width, height);
    widget->setFont(font);
    return widget;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QFont plain = face(8.25, false);
    const QFont bold = face(9.75, true);
    QApplication::setFont(plain);

    QWidget window;
    auto* menuBar = new QMenuBar(&window);
    for (const char* title : {"&File", "&Site", "&Help"}) {
        menuBar->addMenu(QString::fromLatin1(title));
    }
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, 937, menuHeight);
    auto* clientArea = new QWidget(&window);
    clientArea->setGeometry(0, menuHeight, 937, 689);
    window.setFixedSize(937, menuHeight + 689 + 22);

    auto* address =
        place(new QGroupBox(QStringLiteral("Single Motor or Group address"), clientArea), 16, 24,
              449, 81, bold);
    place(new QRadioButton(QStringLiteral("Single Motor Address"), address), 16, 24, 145, 17,
          plain);
    place(new QRadioButton(QStringLiteral("Group Address"), address), 16, 53, 129, 17, plain);
    auto* strings = place(new QGroupBox(QStringLiteral("Display Serial Strings"), clientArea), 472,
                          24, 441, 81, bold);
    place(new QRadioButton(QStringLiteral("All Commands"), strings), 16, 24, 97, 33, plain);
    place(new QRadioButton(QStringLiteral("Choose Command"), strings), 128, 32, 137, 17, plain);
    auto* help = place(new QPushButton(QStringLiteral("?"), strings), 272, 32, 49, 25, bold);
    help->setAutoDefault(false);

    auto* sendStrip = place(new QLabel(&window), 0, menuHeight + 689, 937, 22, plain);
    sendStrip->setContentsMargins(8, 0, 8, 0);
    sendStrip->setFrameShape(QFrame::StyledPanel);
    sendStrip->setFrameShadow(QFrame::Sunken);

    const QuitOnFirstPaint quit(&window);
    window.show();
    const int status = QApplication::exec();
    return saveFirstPaintIfAsked(window) ? status : 1;
}
