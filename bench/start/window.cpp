// The start of rvx-string-calculator as its main() makes it, ending once the main window has
// been painted for the first time.
#include <QApplication>

#include "controls.h"
#include "main/frmMain.h"
#include "quit_on_first_paint.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The windows' plain face as the application's font: a text field lays out its first
    // text in the application font, and one face loaded spares loading a second.
    QApplication::setFont(ui::fontFor(ui::FontStyle::Default));
    frmMain window;
    const QuitOnFirstPaint quit(&window);
    window.show();
    return QApplication::exec();
}
