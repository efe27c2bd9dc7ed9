// Makes the screenshots of the README: drives the real windows as a user would and saves
// each view as a PNG file in the folder given as the first argument.
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>

#include "bus_connection.h"
#include "frmHELP.h"
#include "frmMain.h"

namespace {

template <typename T>
T* find(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

bool savePixmap(const QPixmap& picture, const QDir& folder, const char* name) {
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!picture.save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool save(QWidget& window, const QDir& folder, const char* name) {
    QApplication::processEvents();
    return savePixmap(window.grab(), folder, name);
}

// The window with its open menus drawn over it where they stand: menus are windows of their
// own, which a picture of the main window alone leaves out.
bool saveWithMenus(QWidget& window, std::initializer_list<QWidget*> menus, const QDir& folder,
                   const char* name) {
    QApplication::processEvents();
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    for (QWidget* menu : menus) {
        painter.drawPixmap(window.mapFromGlobal(menu->pos()), menu->grab());
    }
    painter.end();
    return savePixmap(picture, folder, name);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));

    frmMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    bool ok = save(window, folder, "start.png");

    QTest::mouseClick(find<QRadioButton>(window, "optSM"), Qt::LeftButton);
    QTest::mouseClick(find<QRadioButton>(window, "optMQR"), Qt::LeftButton);
    QTest::keyClicks(find<QLineEdit>(window, "txtSM"), QStringLiteral("123456"));
    QTest::mouseClick(find<QPushButton>(window, "cmdCalc"), Qt::LeftButton);
    ok = save(window, folder, "all-commands.png") && ok;

    // The menu of a string, with Copy as open.
    auto* field = find<QLineEdit>(window, "txtGP");
    const QPoint at(field->width() / 3, field->height() / 2);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
    QApplication::sendEvent(field, &click);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    auto* copyAs =
        menu != nullptr ? menu->findChild<QMenu*>(QStringLiteral("menuCopyAs")) : nullptr;
    if (copyAs == nullptr) {
        return 1;
    }
    menu->setActiveAction(copyAs->menuAction());
    copyAs->popup(menu->mapToGlobal(menu->actionGeometry(copyAs->menuAction()).topRight()));
    ok = saveWithMenus(window, {menu, copyAs}, folder, "string-menu.png") && ok;
    copyAs->close();
    menu->close();

    // The connection dialog, as "Bus connection..." opens it, a USB adapter typed in.
    {
        BusConnectionDialog dialog(std::nullopt, &window);
        dialog.findChild<QComboBox*>(QStringLiteral("cboPort"))
            ->setEditText(
                QStringLiteral("/dev/serial/by-id/usb-FTDI_USB-RS485_Cable_FT4XJ2KL-if00-port0"));
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog)) {
            return 1;
        }
        ok = save(dialog, folder, "bus-connection.png") && ok;
    }

    QTest::mouseClick(find<QRadioButton>(window, "optPX40"), Qt::LeftButton);
    auto* list = find<QComboBox>(window, "Combo1");
    list->setCurrentIndex(list->findText(QStringLiteral("Lock @ IP #")));
    auto* priority = find<QLineEdit>(window, "txtD");
    priority->selectAll();
    QTest::keyClicks(priority, QStringLiteral("50"));
    auto* position = find<QLineEdit>(window, "txtDD");
    position->selectAll();
    QTest::keyClicks(position, QStringLiteral("3"));
    QTest::mouseClick(find<QPushButton>(window, "cmdCALCS"), Qt::LeftButton);
    ok = save(window, folder, "choose-command.png") && ok;

    QTest::mouseClick(find<QPushButton>(window, "cmdHELP"), Qt::LeftButton);
    frmHELP* help = window.helpWindow();
    if (help == nullptr || !QTest::qWaitForWindowExposed(help)) {
        return 1;
    }
    ok = save(*help, folder, "help.png") && ok;
    return ok ? 0 : 1;
}
