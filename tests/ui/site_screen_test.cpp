// The site window on a 1600 x 1000 screen, at the scale the test runs at (1, or 2 as on a
// high-density screen): it opens inside the screen's free area, and every caption, value and
// button is whole, in each pane and while a send runs.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include "session.h"
#include "site/frmSite.h"
#include "site/motor_list_model.h"
#include "site/site_document.h"
#include "site_driver.h"

namespace {

using namespace site_driver;

QString where(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

// What is cut off in the window: a control outside it, or narrower or lower than it needs.
QStringList clipped(QWidget& window) {
    QStringList found;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !widget->isVisible() ||
            qobject_cast<QLineEdit*>(widget->parentWidget()) != nullptr) {
            continue;  // another window, hidden, or a field's own button
        }
        const QString name = widget->objectName().isEmpty()
                                 ? QString::fromLatin1(widget->metaObject()->className())
                                 : widget->objectName();
        const QRect at(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        if (!window.rect().contains(at)) {
            found.append(name + QStringLiteral(" outside the window at ") + where(at));
            continue;
        }
        QSize needs;
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            needs = button->sizeHint();
        } else if (auto* label = qobject_cast<QLabel*>(widget);
                   label && !label->wordWrap() && !label->text().isEmpty()) {
            needs = label->sizeHint();
        } else if (qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSpinBox*>(widget)) {
            needs = widget->minimumSizeHint();
        }
        if (needs.isValid() &&
            (widget->width() < needs.width() || widget->height() < needs.height())) {
            found.append(QStringLiteral("%1 \"%2\" %3x%4, needs %5x%6")
                             .arg(name, widget->property("text").toString(),
                                  QString::number(widget->width()),
                                  QString::number(widget->height()), QString::number(needs.width()),
                                  QString::number(needs.height())));
        }
    }
    return found;
}

QList<rvx::Motor> motors(int count) {
    QList<rvx::Motor> list;
    for (int k = 0; k < count; ++k) {
        rvx::Motor motor;
        motor.addressText =
            QStringLiteral("%1").arg(0x0A1B2C + k, 6, 16, QLatin1Char('0')).toStdString();
        motor.label = QStringLiteral("Office %1, first floor").arg(k).toStdString();
        motor.room = "First floor";
        list.append(motor);
    }
    return list;
}

}  // namespace

class SiteScreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("rvx-tests"));
        QCoreApplication::setApplicationName(QStringLiteral("ui_site_screen_tests"));
        QSettings().clear();
    }

    void theWindowFitsTheScreenWithEveryCaptionWhole_data() {
        QTest::addColumn<int>("pane");
        QTest::newRow("strings shown") << 0;
        QTest::newRow("bus monitor shown") << 1;
    }
    void theWindowFitsTheScreenWithEveryCaptionWhole() {
        QFETCH(int, pane);
        SiteWindow window;
        frmSite& site = window.site;
        QVERIFY(site.document().motors().setMotors(motors(10)));
        site.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&site));
        selectRow(site, 0);
        in<QTabWidget>(site, "tabPanes")->setCurrentIndex(pane);
        QApplication::processEvents();

        const QRect room = site.screen()->availableGeometry();
        QVERIFY2(room.contains(site.frameGeometry()),
                 qPrintable(where(site.frameGeometry()) + QStringLiteral(" on ") + where(room)));
        QCOMPARE(clipped(site), QStringList());
        // The send strip and its status line are on the screen.
        for (const char* name : {"cmdStopSending", "cmdUp", "lblSend", "lblBus"}) {
            auto* widget = in(site, name);
            QVERIFY2(widget != nullptr && widget->isVisible(), name);
            const QRect onScreen(widget->mapToGlobal(QPoint(0, 0)), widget->size());
            QVERIFY2(room.contains(onScreen), name);
        }
    }
};

QTEST_MAIN(SiteScreenTest)
#include "site_screen_test.moc"
