// Makes the screenshots of the README: drives the real windows as a user would and saves
// each view as a PNG file in the folder given as the first argument.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>

#include "frmHELP.h"
#include "frmMain.h"

namespace {

template <typename T>
T* find(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

bool save(QWidget& window, const QDir& folder, const char* name) {
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
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
