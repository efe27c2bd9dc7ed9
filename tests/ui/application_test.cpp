// The application as main() prepares it: the main window's first paint reads no image through
// Qt's image format plug-ins, and looks as the platform's own style draws it.
#include "application.h"

#include <link.h>

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QPixmapCache>
#include <QScopeGuard>
#include <QStyleFactory>
#include <QTest>
#include <QToolButton>
#include <cstring>
#include <memory>

#include "main/frmMain.h"
#include "session.h"

namespace {

// Whether the process has mapped an image format plug-in.
bool imagePlugInLoaded() {
    bool loaded = false;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "/imageformats/")) {
                *static_cast<bool*>(found) = true;
            }
            return 0;
        },
        &loaded);
    return loaded;
}

// Notes whether an image plug-in was loaded by the time the window's first paint, its controls
// with it, is done: what the event loop takes up next.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(QWidget* window) { window->installEventFilter(this); }
    bool painted = false;
    bool plugInLoaded = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    plugInLoaded = imagePlugInLoaded();
                    painted = true;
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

QImage firstLook(Session& session) {
    frmMain window(session);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return {};
    }
    return window.grab().toImage();
}

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ui::prepareApplication(); }

    // First of all: no test before may have read an image.
    void firstPaintLoadsNoImagePlugIn() {
        QVERIFY(!imagePlugInLoaded());
        Session session;
        frmMain window(session);
        const FirstPaint first(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(first.painted);
        QVERIFY(!first.plugInLoaded);
        // Any image read the general way loads them, which the look above would have seen.
        QVERIFY(!QImage(QStringLiteral(
                            ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"))
                     .isNull());
        QVERIFY(imagePlugInLoaded());
    }

    // The window drawn in the prepared style, with the group boxes' image from the cache, and
    // in the platform's style reading every image itself.
    void windowLooksAsInThePlatformsStyle() {
        Session session;
        const QImage prepared = firstLook(session);
        QVERIFY(!prepared.isNull());
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QPixmapCache::clear();
        const QImage plain = firstLook(session);
        QApplication::setStyle(new ui::StartStyle);
        QCOMPARE(prepared.size(), plain.size());
        QVERIFY(prepared == plain);
    }

    void extensionButtonShowsTheStylesIcon_data() {
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::newRow("left to right") << Qt::LeftToRight;
        QTest::newRow("right to left") << Qt::RightToLeft;
    }

    // A menu bar too narrow for its menus shows its extension button with the style's icon.
    void extensionButtonShowsTheStylesIcon() {
        QFETCH(Qt::LayoutDirection, direction);
        QApplication::setLayoutDirection(direction);
        const auto restore = qScopeGuard([] { QApplication::setLayoutDirection(Qt::LeftToRight); });
        const std::unique_ptr<QStyle> plain(QStyleFactory::create(QStringLiteral("Fusion")));
        const QImage expected =
            plain->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16).toImage();
        QVERIFY(!expected.isNull());
        QWidget window;
        auto* bar = new QMenuBar(&window);
        for (int k = 0; k < 12; ++k) {
            bar->addMenu(QStringLiteral("Menu %1").arg(k))->addAction(QStringLiteral("Entry"));
        }
        bar->setGeometry(0, 0, 120, bar->sizeHint().height());
        window.resize(120, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto* extension = bar->findChild<QToolButton*>();
        QVERIFY(extension != nullptr);
        QTRY_VERIFY(extension->isVisible());
        const QIcon shown = extension->icon();
        QVERIFY(!shown.isNull());
        QVERIFY(!shown.availableSizes().isEmpty());
        QVERIFY(shown.pixmap(16).toImage() == expected);
        // The left and right pointing icons differ, so the comparison tells them apart.
        QApplication::setLayoutDirection(direction == Qt::LeftToRight ? Qt::RightToLeft
                                                                      : Qt::LeftToRight);
        QVERIFY(
            plain->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16).toImage() !=
            expected);
    }
};

QTEST_MAIN(ApplicationTest)
#include "application_test.moc"
