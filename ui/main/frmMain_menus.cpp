// The main window's menus: the menu bar above the client area, and the menu of a string, with
// the sends it asks for and the strip that tells how this window's latest send went.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include "controls.h"
#include "main/frmHELP.h"
#include "main/frmMain.h"
#include "rvx/notation.h"
#include "send/frmSendLog.h"
#include "send/motor_sender.h"
#include "send/send_record.h"
#include "session.h"
#include "site/frmSite.h"
#include "text.h"

using ui::fromView;

// Sends the frame of the field the keyboard is in, as the menu's Send to motor does.
QKeySequence frmMain::sendShortcut() {
    return {Qt::CTRL | Qt::Key_Return};
}

// ---- The menu bar ----

// The bar and the menus' titles are made with the window; their entries, with the views hidden
// at the start, once it has been painted for the first time (completeStart), or at the first
// key or click of the program before that, so that a shortcut, a menu or a control never finds
// them missing.
void frmMain::buildMenuBar() {
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    fileMenu_ = menuBar->addMenu(QStringLiteral("&File"));
    fileMenu_->setObjectName(QStringLiteral("mnuFile"));
    siteMenu_ = menuBar->addMenu(QStringLiteral("&Site"));
    siteMenu_->setObjectName(QStringLiteral("mnuSite"));
    helpMenu_ = menuBar->addMenu(QStringLiteral("&Help"));
    helpMenu_->setObjectName(QStringLiteral("mnuHelp"));
    for (QMenu* menu : {fileMenu_, siteMenu_, helpMenu_}) {
        connect(menu, &QMenu::aboutToShow, this, &frmMain::completeStart);
    }
    qApp->installEventFilter(this);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
            completeStart();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool frmMain::event(QEvent* event) {
    const bool done = QWidget::event(event);
    if (!started_ && event->type() == QEvent::Paint) {
        QTimer::singleShot(0, this, &frmMain::completeStart);
    }
    return done;
}

void frmMain::completeStart() {
    if (started_) {
        return;
    }
    started_ = true;
    qApp->removeEventFilter(this);
    buildViews();
    setWindowIcon(ui::applicationIcon());
    QMenu* file = fileMenu_;
    QAction* quit = file->addAction(QStringLiteral("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actQuit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));  // on every platform
    QMenu* site = siteMenu_;
    QAction* open = site->addAction(QStringLiteral("&Site\u2026"), this, &frmMain::showSite);
    open->setObjectName(QStringLiteral("actSite"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    // The shortcut works wherever the keyboard is in the window, the string fields too.
    open->setShortcutContext(Qt::WindowShortcut);
    addAction(open);
    QMenu* help = helpMenu_;
    QAction* lineSettings = help->addAction(QStringLiteral("Serial &line settings\u2026"), this,
                                            &frmMain::cmdHELP_Click);
    lineSettings->setObjectName(QStringLiteral("actHelp"));
}

void frmMain::showSite() {
    if (!site_) {
        site_ = std::make_unique<frmSite>(session_);
    }
    site_->openWindow();
}

void frmMain::cmdHELP_Click() {
    if (!help_) {
        help_ = std::make_unique<frmHELP>();
    }
    help_->openWindow();
}

// ---- The menu of a string ----

// Copy, Copy as each notation, and (further down) the bus. The menu pops up without waiting,
// and is deleted once it closes.
void frmMain::showStringMenu(QLineEdit* field, const QPoint& at) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("stringMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const std::optional<rvx::Frame> frame = frameIn(field);

    QAction* copy = menu->addAction(QStringLiteral("&Copy"), this, [field] {
        QGuiApplication::clipboard()->setText(field->hasSelectedText() ? field->selectedText()
                                                                       : field->text());
    });
    copy->setObjectName(QStringLiteral("actCopy"));
    copy->setEnabled(!field->text().isEmpty());

    // Each notation is shown by its platform and the way it writes the first two bytes of this
    // field's own frame (of an Up frame while the field holds none).
    QMenu* copyAs = menu->addMenu(QStringLiteral("Copy &as"));
    copyAs->setObjectName(QStringLiteral("menuCopyAs"));
    copyAs->menuAction()->setObjectName(QStringLiteral("actCopyAsMenu"));
    copyAs->setEnabled(frame.has_value());
    const std::uint8_t firstTwo[] = {frame ? (*frame)[0] : rvx::motionMessageCode,
                                     frame ? (*frame)[1] : rvx::lengthByte};
    for (const rvx::NotationInfo& notation : rvx::notationCatalogue) {
        std::string example = rvx::writeBytes(firstTwo, notation.notation);
        if (notation.quote != 0) {
            example.pop_back();  // the text goes on: its closing quote is not shown
        }
        QAction* action = copyAs->addAction(
            fromView(notation.platform) + QStringLiteral("  (") + QString::fromStdString(example) +
                QStringLiteral("\u2026)"),
            this, [frame, notation] {
                if (frame) {
                    QGuiApplication::clipboard()->setText(
                        QString::fromStdString(rvx::writeFrame(*frame, notation.notation)));
                }
            });
        action->setObjectName(QStringLiteral("actCopyAs_") + fromView(notation.name));
    }

    // The bus: the frame goes out only from this entry, one frame at a time, and only a frame
    // made from values the frames admit. Where one is not, the entry below says which.
    menu->addSeparator();
    const std::optional<rvx::MadeFrame> made = madeFrameIn(field);
    const auto refused = made ? rvx::refusedValue(*made) : std::nullopt;
    QAction* send =
        menu->addAction(QStringLiteral("Send to &motor"), this, [this, field] { sendFrom(field); });
    send->setObjectName(QStringLiteral("actSend"));
    send->setShortcut(sendShortcut());
    send->setShortcutContext(Qt::WidgetShortcut);  // shown here, taken by the field
    send->setEnabled(made.has_value() && !refused && !sender().busy());
    if (refused) {
        const QString why = QString::fromStdString(refused->sentence);
        send->setToolTip(why);
        QAction* reason = menu->addAction(QStringLiteral("Not offered: ") + why);
        reason->setObjectName(QStringLiteral("actSendRefused"));
        reason->setEnabled(false);
    }
    QAction* connection = menu->addAction(QStringLiteral("&Bus connection\u2026"), this,
                                          [this] { sender().chooseConnection(this); });
    connection->setObjectName(QStringLiteral("actBusConnection"));
    connection->setEnabled(!sender().busy());
    QAction* log =
        menu->addAction(QStringLiteral("Sent &frames\u2026"), this, &frmMain::showSendLog);
    log->setObjectName(QStringLiteral("actSendLog"));
    menu->popup(field->mapToGlobal(at));
}

void frmMain::sendFrom(QLineEdit* field) {
    const auto made = madeFrameIn(field);
    if (!made || rvx::refusedValue(*made) || sender().busy()) {
        return;
    }
    sender().send(field, *made);
}

void frmMain::showSendLog() {
    if (!sendLog_) {
        sendLog_ = std::make_unique<frmSendLog>(sender());
    }
    sendLog_->openWindow();
}

// The strip shows the latest send until the next one or the next Calculate or CLEAR. It is read
// as its text, and QLabel tells a screen reader of each change of it.
void frmMain::showSendStatus(const SendRecord& record) {
    const QString text = sendText(record);
    lblSend->setText(text);
    lblSend->setToolTip(text);
}

void frmMain::clearSendStatus() {
    lblSend->clear();
    lblSend->setToolTip(QString());
}
