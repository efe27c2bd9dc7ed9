// Makes the screenshots of the README: drives the real windows as a user would and saves
// each view as a PNG file in the folder given as the first argument.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <cstdio>

#include "main/frmHELP.h"
#include "main/frmMain.h"
#include "send/bus_connection.h"
#include "send/frmSendLog.h"
#include "send/motor_sender.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

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

QMenu* openMenu(QLineEdit* field) {
    const QPoint at(field->width() / 3, field->height());  // below the string, which stays seen
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, field->mapToGlobal(at));
    QApplication::sendEvent(field, &click);
    return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

bool pickFromMenu(QLineEdit* field, const char* entry) {
    QMenu* menu = openMenu(field);
    QAction* action =
        menu != nullptr ? menu->findChild<QAction*>(QString::fromLatin1(entry)) : nullptr;
    if (menu != nullptr) {
        menu->close();
    }
    if (action == nullptr || !action->isEnabled()) {
        std::fprintf(stderr, "screenshots: %s not offered in the menu of %s\n", entry,
                     qPrintable(field->objectName()));
        return false;
    }
    action->trigger();
    return true;
}

#ifdef Q_OS_UNIX
// A pseudo-terminal stands for the adapter: the frames go to it and are read off its far end.
struct Line {
    int master = -1;
    int slave = -1;
    QString path;
    Line() {
        termios raw{};
        ::cfmakeraw(&raw);
        char name[256] = {};
        if (::openpty(&master, &slave, name, &raw, nullptr) == 0) {
            path = QString::fromLocal8Bit(name);
            ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Line() {
        for (const int fd : {master, slave}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
};

// Sending: under way, sent, refused, and the sent frames, as the window shows them.
bool sendingViews(frmMain& window, const QDir& folder) {
    Line line;
    if (line.path.isEmpty()) {
        return false;
    }
    BusConnection{*rvx::bus::readTarget(line.path).target, {}}.save();
    auto* sender = &window.sender();
    QSignalSpy sent(sender, &MotorSender::sent);
    QSignalSpy failed(sender, &MotorSender::failed);

    // Under way: the picture is taken before the event loop lets the send end.
    ::tcflow(line.slave, TCOOFF);
    if (!pickFromMenu(find<QLineEdit>(window, "txtUP"), "actSend")) {
        return false;
    }
    bool ok = savePixmap(window.grab(), folder, "sending.png");
    ::tcflow(line.slave, TCOON);
    if (!sent.wait(5000)) {
        return false;
    }
    ok = save(window, folder, "sent.png") && ok;

    // Two more for the record: Stop sent, and Go to % to a port that is not there.
    if (!pickFromMenu(find<QLineEdit>(window, "txtSTOP"), "actSend") || !sent.wait(5000)) {
        return false;
    }
    BusConnection{*rvx::bus::readTarget(QStringLiteral("/dev/ttyUSB7")).target, {}}.save();
    if (!pickFromMenu(find<QLineEdit>(window, "txtGP"), "actSend") || !failed.wait(5000)) {
        return false;
    }
    for (QWidget* box : window.findChildren<QWidget*>(QStringLiteral("sendFailed"))) {
        box->close();
    }
    if (!pickFromMenu(find<QLineEdit>(window, "txtUP"), "actSendLog")) {
        return false;
    }
    frmSendLog* log = window.sendLogWindow();
    if (log == nullptr || !QTest::qWaitForWindowExposed(log)) {
        return false;
    }
    ok = save(*log, folder, "send-log.png") && ok;
    log->close();

    // A frame made from a value the frames do not admit is not offered, and the menu says why:
    // Go to % 150 is the value marked, the Down string made from 5 stands.
    auto* percent = find<QLineEdit>(window, "txtPct");
    percent->selectAll();
    QTest::keyClicks(percent, QStringLiteral("150"));
    auto* down = find<QLineEdit>(window, "txtRU");
    down->selectAll();
    QTest::keyClicks(down, QStringLiteral("5"));
    QTest::mouseClick(find<QPushButton>(window, "cmdCalc"), Qt::LeftButton);
    QMenu* menu = openMenu(find<QLineEdit>(window, "txtDOWN"));
    if (menu == nullptr) {
        return false;
    }
    ok = saveWithMenus(window, {menu}, folder, "send-refused.png") && ok;
    menu->close();
    QTest::mouseClick(find<QPushButton>(window, "cmdCLEAR"), Qt::LeftButton);
    QTest::mouseClick(find<QPushButton>(window, "cmdCalc"), Qt::LeftButton);
    return ok;
}

// The site window with ten motors, two of them chosen, and its bus monitor watching a line on
// which frames of the site, one of a motor not on the list and some noise have gone by.
bool siteViews(frmMain& window, const QDir& folder) {
    Line line;
    if (line.path.isEmpty()) {
        return false;
    }
    BusConnection{*rvx::bus::readTarget(line.path).target, {}}.save();
    // Site > Site..., as the menu bar gives it.
    if (auto* open = window.findChild<QAction*>(QStringLiteral("actSite"))) {
        open->trigger();
    }
    frmSite* site = window.siteWindow();
    if (site == nullptr || !QTest::qWaitForWindowExposed(site)) {
        return false;
    }
    const std::array<std::array<const char*, 4>, 10> motors{{
        {"0A1B2C", "Office east", "First floor", ""},
        {"0A1B2D", "Office west", "First floor", ""},
        {"0A1B30", "Meeting room", "First floor", "two blinds, one motor"},
        {"0A0B0C", "First floor, all", "First floor", "group"},
        {"1C2D01", "Lobby left", "Ground floor", ""},
        {"1C2D02", "Lobby right", "Ground floor", ""},
        {"1C2D03", "Reception", "Ground floor", "above the desk"},
        {"1C2D04", "Kitchen", "Ground floor", ""},
        {"2E3F10", "Stairs", "Stairwell", "skylight"},
        {"0D0E0F", "Ground floor, all", "Ground floor", "group"},
    }};
    QList<rvx::Motor> list;
    for (const auto& [address, label, room, note] : motors) {
        const bool group = std::string_view(note) == "group";
        rvx::Motor motor;
        motor.addressText = address;
        motor.kind = group ? rvx::AddressKind::Group : rvx::AddressKind::Single;
        motor.label = label;
        motor.room = room;
        motor.note = group ? "" : note;
        list.append(motor);
    }
    site->document().motors().setMotors(list);
    auto* table = find<QTableView>(*site, "tblMotors");
    table->resizeColumnsToContents();
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(6, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    bool ok = save(*site, folder, "site.png");

    // Export, its menu of platforms open, and the question where the platform sends.
    auto* exportButton = find<QPushButton>(*site, "cmdExport");
    QMenu* exportMenu = exportButton->menu();
    exportMenu->popup(exportButton->mapToGlobal(
        QPoint(exportButton->width() - exportMenu->sizeHint().width(), exportButton->height())));
    ok = saveWithMenus(*site, {exportMenu}, folder, "site-export.png") && ok;
    exportMenu->close();
    exportMenu->actions().constFirst()->trigger();
    if (auto* ask = site->findChild<BusConnectionDialog*>()) {
        ok =
            QTest::qWaitForWindowExposed(ask) && save(*ask, folder, "site-export-dialog.png") && ok;
        ask->reject();
    }

    find<QTabWidget>(*site, "tabPanes")->setCurrentIndex(1);
    QTest::mouseClick(find<QPushButton>(*site, "cmdWatch"), Qt::LeftButton);
    QTest::qWait(300);
    const auto put = [&line](const char* hex) {
        const QByteArray bytes = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
        if (::write(line.master, bytes.constData(), static_cast<std::size_t>(bytes.size())) !=
            bytes.size()) {
            qWarning("the pseudo-terminal took only part of a frame");
        }
        QTest::qWait(250);
    };
    put("AB F1 FF FF FF FF 0A 1B 2C FE FF FF 08 E5");
    put("AB F1 FF 0A 0B 0C FF FF FF FD FF FF 08 B4");
    put("AB F1 FF FF FF FF 1C 2D 03 F5 F5 FF 08 CD");
    put("AB F1 FF FF FF FF 65 43 21 FE FF FF 09 5D");
    put("00 3F");
    put("AB F1 FF FF FF FF 1C 2D 03 EF 80 FF 08 52");
    auto* monitor = find<QTableView>(*site, "tblMonitor");
    monitor->resizeColumnsToContents();
    ok = save(*site, folder, "site-monitor.png") && ok;
    QTest::mouseClick(find<QPushButton>(*site, "cmdWatch"), Qt::LeftButton);
    site->document().motors().undoStack()->setClean();
    site->close();
    return ok;
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The connection the pictures send on is kept apart from the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("rvx-screenshots"));
    QSettings().clear();
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
    auto* menu = openMenu(find<QLineEdit>(window, "txtGP"));
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

#ifdef Q_OS_UNIX
    ok = sendingViews(window, folder) && ok;
    ok = siteViews(window, folder) && ok;
#endif

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
