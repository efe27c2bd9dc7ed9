#include "application.h"

#include <QApplication>

#include "controls.h"

namespace ui {

void prepareApplication() {
    QApplication::setApplicationName(QStringLiteral("rvx-string-calculator"));
    QApplication::setApplicationVersion(QStringLiteral(RVX_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Velkor Systems"));
    QGuiApplication::setDesktopFileName(QStringLiteral(RVX_APP_ID));
    // The windows' plain face as the application's font: a text field lays out its first
    // text in the application font, and one face loaded spares loading a second.
    QApplication::setFont(fontFor(FontStyle::Default));
}

}  // namespace ui
