// What the program sets up once, before its first window: its names, the windows' plain face
// as the application's font, and the style the windows are drawn in. main() and the start
// benchmark both begin with it, so that the benchmark starts what users start.
#pragma once

#include <QProxyStyle>

namespace ui {

// Names the program, sets the application's font, installs StartStyle and reads the image
// the style draws group boxes with.
void prepareApplication();

// The platform's style (or the one asked for with -style or QT_STYLE_OVERRIDE), but for the
// icon of a menu bar's extension button, which is read from its image files only when the
// button is first drawn: every menu bar asks for it when it is made, and the button shows only
// on a window too narrow for its menus.
class StartStyle : public QProxyStyle {
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    [[nodiscard]] QIcon standardIcon(StandardPixmap standardIcon,
                                     const QStyleOption* option = nullptr,
                                     const QWidget* widget = nullptr) const override;
};

}  // namespace ui
