#include "site/frmSite.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

#include "controls.h"
#include "rvx/notation.h"
#include "save_whole.h"
#include "send/bus_connection.h"
#include "send/motor_sender.h"
#include "send/send_record.h"
#include "session.h"
#include "site/flow_layout.h"
#include "site/monitor_pane.h"
#include "site/parameter_box.h"
#include "site/site_document.h"
#include "site/site_list_view.h"
#include "site/site_monitor.h"
#include "site/strings_pane.h"
#include "text.h"

using ui::fromView;

namespace {

const QString siteFilter = QStringLiteral("Sites (*.csv);;All files (*)");

// What a save that failed says of the file: where there was one it is untouched, where there
// was none, none is left behind.
QString notSaved(const QString& what, const QString& path) {
    return what + (QFileInfo::exists(path) ? QStringLiteral("; the file is as it was.")
                                           : QStringLiteral("; no file was made."));
}

// The buttons of the commands a motor is sent, in the order they stand.
struct CommandButton {
    const char* name;
    const char* caption;
    rvx::CommandId command;
};
// The widgets of a layout that take the keyboard focus, in the order they stand in it.
QList<QWidget*> focusOrderOf(const QLayout* layout) {
    QList<QWidget*> widgets;
    for (int k = 0; k < layout->count(); ++k) {
        QWidget* widget = layout->itemAt(k)->widget();
        if (widget != nullptr && widget->focusPolicy() != Qt::NoFocus) {
            widgets.append(widget);
        }
    }
    return widgets;
}

// Chains the keyboard focus through the widgets in that order. Each is moved alone: a view or
// a tab widget would leave its parts (a viewport, a tab bar) behind where it was made, so those
// are made where they stand instead.
void chainFocus(const QList<QWidget*>& order) {
    for (qsizetype k = 1; k < order.size(); ++k) {
        QWidget::setTabOrder(order[k - 1], order[k]);
    }
}

constexpr CommandButton commandButtons[] = {
    {"cmdUp", "&Up", rvx::CommandId::Up},
    {"cmdStop", "S&top", rvx::CommandId::Stop},
    {"cmdDown", "&Down", rvx::CommandId::Down},
    {"cmdGoToPct", "Go to &%", rvx::CommandId::GoToPercent},
    {"cmdGoToIp", "Go to &IP #", rvx::CommandId::GoToIp},
    {"cmdJogUp", "Jo&g Up", rvx::CommandId::JogUp},
    {"cmdJogDown", "Jog Dow&n", rvx::CommandId::JogDown},
};

}  // namespace

frmSite::frmSite(Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session) {
    setObjectName(QStringLiteral("frmSite"));
    setWindowIcon(ui::applicationIcon());
    document_ = new SiteDocument(this);
    monitor_ = new SiteMonitor(session_.connections(), document_->motors(), this);
    // The parts are made in the order they stand in the window, from top to bottom: the order
    // in which Tab walks them.
    QWidget* addStrip = buildAddStrip();
    buildList();
    buildPanes();
    QWidget* actionStrip = buildActions();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* upper = new QWidget(splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("Filte&r:"), upper);
    filterLabel->setBuddy(txtFilter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(cmdDelete);
    upperLayout->addLayout(filterRow);
    upperLayout->addWidget(tblMotors, 1);
    upperLayout->addWidget(lblProblem);
    splitter->addWidget(upper);
    splitter->addWidget(tabPanes);
    // Within a row, Tab goes from left to right.
    chainFocus({txtFilter, cmdDelete, tblMotors});
    chainFocus(focusOrderOf(actionStrip->layout()));
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(buildMenuBar());
    layout->addWidget(addStrip);
    layout->addWidget(splitter, 1);
    layout->addWidget(actionStrip);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(lblSend, 1);
    statusRow->addWidget(lblBus);
    layout->addLayout(statusRow);
    // The window opens inside the screen's free area, however large the scale; where there
    // is room, wide enough for the send strip in one row.
    if (const QScreen* shown = screen()) {
        const QRect room = shown->availableGeometry();
        resize(QSize(1000, 720).boundedTo(room.size()));
        move(room.topLeft() + QPoint((room.width() - width()) / 2, (room.height() - height()) / 2));
    } else {
        resize(1000, 720);
    }
    connect(document_, &SiteDocument::changed, this, &frmSite::showTitle);
    connect(document_, &SiteDocument::recentChanged, this, &frmSite::fillRecentMenu);
    showTitle();

    // The strip tells of this window's own sends; any send keeps the others from starting.
    MotorSender& sender = session_.sender();
    connect(&sender, &MotorSender::changed, this, [this](const SendRecord& record) {
        if (record.window == this) {
            lblSend->setText(sendText(record));
        }
        updateActions();
    });
    connect(&sender, &MotorSender::stopped, this, &frmSite::updateActions);
    connect(&sender, &MotorSender::connectionChosen, this, &frmSite::showBus);
    showBus();
    connect(&sender, &MotorSender::declined, this, [this] {
        sending_.clear();
        updateActions();
    });
    connect(&sender, &MotorSender::sent, this, [this] {
        sending_.clear();
        updateActions();
    });
    connect(&sender, &MotorSender::failed, this, [this] {
        sending_.clear();
        updateActions();
    });

    updateActions();
    updateStrings();
}

frmSite::~frmSite() {
    // Nothing of this window answers once it goes: its sends end here, and its watch with the
    // monitor, the list and its views.
    session_.sender().disconnect(this);
    session_.sender().stopFor(this);
    monitor_->disconnect(this);
    monitor_->stop();
    document_->disconnect(this);
    // An editor of the list still open puts its text into the list as it goes.
    document_->motors().disconnect(this);
    document_->motors().undoStack()->disconnect(this);
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
    }
}

MotorSender& frmSite::sender() const {
    return session_.sender();
}

void frmSite::openWindow() {
    const bool first = !opened_;
    opened_ = true;
    show();
    if (first) {
        fitOnScreen();
    }
    raise();
    activateWindow();
}

void frmSite::fitOnScreen() {
    // The window with its frame inside the screen's free area: the send strip at the bottom
    // stays on the screen at any scale.
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    const QRect room = shown->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(size().boundedTo(room.size() - frame));
    const QRect outer = frameGeometry();
    move(
        std::clamp(outer.x(), room.left(), std::max(room.left(), room.right() + 1 - outer.width())),
        std::clamp(outer.y(), room.top(),
                   std::max(room.top(), room.bottom() + 1 - outer.height())));
}

// ---- The site file ----

QMenuBar* frmSite::buildMenuBar() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menuBar"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* newAction = file->addAction(QStringLiteral("&New"), this, &frmSite::newSite);
    newAction->setObjectName(QStringLiteral("actNew"));
    newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* open = file->addAction(QStringLiteral("&Open\u2026"), this, &frmSite::askToOpen);
    open->setObjectName(QStringLiteral("actOpen"));
    open->setShortcut(QKeySequence::Open);
    mnuRecent = file->addMenu(QStringLiteral("Open &recent"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    connect(mnuRecent, &QMenu::aboutToShow, this, &frmSite::fillRecentMenu);
    fillRecentMenu();
    QAction* saveAction = file->addAction(QStringLiteral("&Save"), this, [this] { save(); });
    saveAction->setObjectName(QStringLiteral("actSave"));
    saveAction->setShortcut(QKeySequence::Save);
    QAction* saveAsAction =
        file->addAction(QStringLiteral("Save &as\u2026"), this, [this] { saveAs(); });
    saveAsAction->setObjectName(QStringLiteral("actSaveAs"));
    saveAsAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    file->addSeparator();
    file->addMenu(strings_->exportMenu());
    file->addSeparator();
    actBusConnection = file->addAction(QStringLiteral("&Bus connection\u2026"), this,
                                       [this] { sender().chooseConnection(this); });
    actBusConnection->setObjectName(QStringLiteral("actBusConnection"));
    file->addSeparator();
    QAction* closeAction = file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    closeAction->setShortcut(QKeySequence::Close);
    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->addAction(actUndo);
    edit->addAction(actRedo);
    edit->addSeparator();
    edit->addAction(QStringLiteral("De&lete"), this, &frmSite::deleteSelected);
    return bar;
}

void frmSite::fillRecentMenu() {
    mnuRecent->clear();
    const QStringList recent = SiteDocument::recentSites();
    for (const QString& path : recent) {
        mnuRecent->addAction(path, this, [this, path] {
            if (!document_->modified() ||
                QMessageBox::question(this, QStringLiteral("Open a site"),
                                      QStringLiteral("The changes to this site are not saved. "
                                                     "Open another and lose them?")) ==
                    QMessageBox::Yes) {
                openSite(path);
            }
        });
    }
    mnuRecent->setEnabled(!recent.isEmpty());
}

void frmSite::showTitle() {
    setWindowTitle(document_->name() +
                   QStringLiteral("[*] \u2013 Site \u2013 Velkor RVX String Calculator"));
    setWindowModified(document_->modified());
}

void frmSite::tell(const QString& objectName, const QString& text, const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setObjectName(objectName);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool frmSite::openSite(const QString& path) {
    QString problem;
    if (document_->open(path, &problem)) {
        // Opened, but an address given to more than one motor is said: the monitor names a
        // frame to it after the first.
        if (const QStringList repeats = document_->repeatedAddresses(); !repeats.isEmpty()) {
            constexpr qsizetype named = 10;
            QStringList lines = repeats.mid(0, named);
            if (repeats.size() > named) {
                lines.append(QStringLiteral("and %1 more").arg(repeats.size() - named));
            }
            tell(QStringLiteral("siteRepeats"),
                 repeats.size() == 1
                     ? QStringLiteral("The site was opened; an address in it is given to more "
                                      "than one motor.")
                     : QStringLiteral("The site was opened; %1 addresses in it are each given "
                                      "to more than one motor.")
                           .arg(repeats.size()),
                 lines.join(QLatin1Char('\n')));
        }
        return true;
    }
    tell(QStringLiteral("siteNotRead"),
         QStringLiteral("The site was not opened; the list is as it was."), problem);
    return false;
}

bool frmSite::saveSiteTo(const QString& path, QString* problem) {
    QString why;
    if (document_->saveTo(path, &why)) {
        return true;
    }
    if (problem != nullptr) {
        *problem = why;
    }
    tell(QStringLiteral("siteNotSaved"), notSaved(QStringLiteral("The site was not saved"), path),
         why);
    return false;
}

bool frmSite::save() {
    return document_->path().isEmpty() ? saveAs() : saveSiteTo(document_->path());
}

bool frmSite::saveAs() {
    const QString path = askWhereToSave(QStringLiteral("Save the site"), document_->path(),
                                        siteFilter, QStringLiteral("csv"));
    return !path.isEmpty() && saveSiteTo(path);
}

QString frmSite::askWhereToSave(const QString& title, const QString& start, const QString& filter,
                                const QString& suffix) {
    // A name typed without an extension gets the file type's own.
    QFileDialog dialog(this, title, start, filter);
    dialog.setObjectName(QStringLiteral("saveFile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void frmSite::askToOpen() {
    if (document_->modified() &&
        QMessageBox::question(this, QStringLiteral("Open a site"),
                              QStringLiteral("The changes to this site are not saved. Open "
                                             "another and lose them?")) != QMessageBox::Yes) {
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open a site"),
                                                      document_->path(), siteFilter);
    if (!path.isEmpty()) {
        openSite(path);
    }
}

bool frmSite::changesMayGo(bool closing) {
    if (!document_->modified()) {
        return true;
    }
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         QStringLiteral("The site has changes that are not saved."),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setObjectName(closing ? QStringLiteral("confirmClose") : QStringLiteral("confirmNew"));
    question.setInformativeText(closing ? QStringLiteral("Save them before the window closes?")
                                        : QStringLiteral("Save them before a new site?"));
    question.setDefaultButton(QMessageBox::Save);
    const int answer = question.exec();
    return answer == QMessageBox::Save ? save() : answer == QMessageBox::Discard;
}

void frmSite::newSite() {
    if (changesMayGo(false)) {
        document_->startNew();
    }
}

void frmSite::closeEvent(QCloseEvent* event) {
    if (!changesMayGo(true)) {
        event->ignore();
        return;
    }
    // A window that is gone sends nothing more, and watches nothing: the port is let go.
    session_.sender().stopFor(this);
    sending_.clear();
    monitor_->stop();
    event->accept();
}

// ---- The motor list ----

void frmSite::buildList() {
    MotorListModel& motors = document_->motors();
    proxy_ = new SiteFilter(motors, this);

    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("label, room, address or note"));
    txtFilter->setClearButtonEnabled(true);
    connect(txtFilter, &QLineEdit::textChanged, proxy_, &SiteFilter::setText);

    lblProblem = new ui::Label(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setTextFormat(Qt::PlainText);
    ui::speakAs(lblProblem, ui::Spoken::StatusLine);
    connect(&motors, &MotorListModel::refused, this, [this](const QString& message) {
        lblProblem->setText(message + QStringLiteral("; not taken"));
        refusedRow_ = tblMotors->currentIndex();
    });

    tblMotors = new QTableView(this);
    tblMotors->setObjectName(QStringLiteral("tblMotors"));
    tblMotors->setAccessibleName(QStringLiteral("Motors of the site"));
    tblMotors->setModel(proxy_);
    proxy_->keepSelectionOf(tblMotors->selectionModel());
    // A third click on a heading goes back to the list order, the order sends follow.
    tblMotors->horizontalHeader()->setSortIndicatorClearable(true);
    tblMotors->setSortingEnabled(true);
    tblMotors->sortByColumn(-1, Qt::AscendingOrder);  // list order until a heading is clicked
    // Tab leaves the list at once; the arrows move in it. Walking its cells with Tab would move
    // the selection the send buttons act on.
    tblMotors->setTabKeyNavigation(false);
    tblMotors->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMotors->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblMotors->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    tblMotors->setItemDelegate(new AddressDelegate(lblProblem, tblMotors));
    tblMotors->horizontalHeader()->setStretchLastSection(true);
    // Whole rows are chosen: a heading marked as chosen would say nothing, and finding whether
    // it is asks every row of the list at each selection change.
    tblMotors->horizontalHeader()->setHighlightSections(false);
    tblMotors->verticalHeader()->setDefaultSectionSize(tblMotors->fontMetrics().height() + 6);
    tblMotors->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tblMotors, &QWidget::customContextMenuRequested, this, &frmSite::showRowMenu);
    connect(tblMotors->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        forgetRefusal(false);
        updateActions();
        updateStrings();
    });
    // An edit that was not taken is no more to be said once an edit is undone or redone.
    connect(motors.undoStack(), &QUndoStack::indexChanged, this, [this] { forgetRefusal(true); });
    connect(proxy_, &SiteFilter::reshown, this, [this] {
        updateActions();
        updateStrings();
    });
    // The strings pane reads the motors by their rows in the list.
    connect(&motors, &QAbstractItemModel::dataChanged, this, &frmSite::updateStrings);
    connect(&motors, &QAbstractItemModel::rowsInserted, this, &frmSite::updateStrings);
    connect(&motors, &QAbstractItemModel::rowsRemoved, this, &frmSite::updateStrings);
    connect(&motors, &QAbstractItemModel::modelReset, this, &frmSite::updateStrings);

    cmdDelete = new QPushButton(QStringLiteral("De&lete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    connect(cmdDelete, &QPushButton::clicked, this, &frmSite::deleteSelected);
    auto* del = new QAction(this);
    del->setShortcut(QKeySequence::Delete);
    del->setShortcutContext(Qt::WidgetShortcut);
    tblMotors->addAction(del);
    connect(del, &QAction::triggered, this, &frmSite::deleteSelected);

    actUndo = motors.undoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    actUndo->setObjectName(QStringLiteral("actUndo"));
    actUndo->setShortcut(QKeySequence::Undo);
    addAction(actUndo);
    actRedo = motors.undoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    actRedo->setObjectName(QStringLiteral("actRedo"));
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    for (const QKeySequence& key :
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        if (!redoKeys.contains(key)) {
            redoKeys.append(key);
        }
    }
    actRedo->setShortcuts(redoKeys);
    addAction(actRedo);
}

// Adding a motor: its address (judged as typed), kind, label and room.
QWidget* frmSite::buildAddStrip() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("addStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    txtNewAddress = new QLineEdit(strip);
    txtNewAddress->setObjectName(QStringLiteral("txtNewAddress"));
    txtNewAddress->setPlaceholderText(QStringLiteral("address"));
    txtNewAddress->setAccessibleName(QStringLiteral("Address of the motor to add"));
    cboNewKind = new QComboBox(strip);
    cboNewKind->setObjectName(QStringLiteral("cboNewKind"));
    for (const rvx::KindInfo& info : rvx::kindCatalogue) {
        cboNewKind->addItem(fromView(info.name), static_cast<int>(info.kind));
    }
    cboNewKind->setAccessibleName(QStringLiteral("Kind of the address to add"));
    ui::speakAs(cboNewKind, ui::Spoken::Chooser);
    txtNewLabel = new QLineEdit(strip);
    txtNewLabel->setObjectName(QStringLiteral("txtNewLabel"));
    txtNewLabel->setPlaceholderText(QStringLiteral("label"));
    txtNewLabel->setAccessibleName(QStringLiteral("Label of the motor to add"));
    txtNewRoom = new QLineEdit(strip);
    txtNewRoom->setObjectName(QStringLiteral("txtNewRoom"));
    txtNewRoom->setPlaceholderText(QStringLiteral("room"));
    txtNewRoom->setAccessibleName(QStringLiteral("Room of the motor to add"));
    cmdAdd = new QPushButton(QStringLiteral("&Add"), strip);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setEnabled(false);
    row->addWidget(new QLabel(QStringLiteral("New motor:"), strip));
    row->addWidget(txtNewAddress);
    row->addWidget(cboNewKind);
    row->addWidget(txtNewLabel, 2);
    row->addWidget(txtNewRoom, 1);
    row->addWidget(cmdAdd);
    connect(txtNewAddress, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString problem = text.isEmpty() ? QString() : MotorListModel::addressProblem(text);
        lblProblem->setText(problem);
        cmdAdd->setEnabled(!text.isEmpty() && problem.isEmpty());
    });
    for (QLineEdit* field : {txtNewAddress, txtNewLabel, txtNewRoom}) {
        connect(field, &QLineEdit::returnPressed, this, &frmSite::addMotor);
    }
    connect(cmdAdd, &QPushButton::clicked, this, &frmSite::addMotor);
    return strip;
}

void frmSite::addMotor() {
    if (!cmdAdd->isEnabled()) {
        if (!txtNewAddress->text().isEmpty()) {
            QApplication::beep();
        }
        return;
    }
    rvx::Motor motor;
    motor.addressText = txtNewAddress->text().toStdString();
    motor.kind = static_cast<rvx::AddressKind>(cboNewKind->currentData().toInt());
    motor.label = txtNewLabel->text().toStdString();
    motor.room = txtNewRoom->text().toStdString();
    const int row = document_->motors().addMotor(motor);
    txtNewAddress->clear();
    txtNewLabel->clear();
    txtNewAddress->setFocus();
    if (document_->motors().repeated(row)) {
        lblProblem->setText(document_->motors().repeatedText(row));
    }
}

void frmSite::forgetRefusal(bool always) {
    if (!lblProblem->text().endsWith(QStringLiteral("; not taken"))) {
        return;
    }
    // Said of a motor, it stays while that motor is the one chosen.
    if (always || !refusedRow_.isValid() ||
        !tblMotors->selectionModel()->isRowSelected(refusedRow_.row(), {})) {
        lblProblem->clear();
        refusedRow_ = QPersistentModelIndex();
    }
}

void frmSite::deleteSelected() {
    document_->motors().deleteRows(selectedRows());
}

QList<int> frmSite::selectedRows() const {
    return proxy_->sourceRows(tblMotors->selectionModel()->selection());
}

QList<rvx::Motor> frmSite::selectedMotors() const {
    QList<rvx::Motor> motors;
    for (int row : selectedRows()) {
        motors.append(document_->motors().motors()[row]);
    }
    return motors;
}

// ---- Sending ----

QWidget* frmSite::buildActions() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("actionStrip"));
    // The buttons go on in a second row where the window is too narrow for one, each whole.
    auto* row = new FlowLayout(strip);
    spnPct = new ParameterBox(rvx::ParameterField::Pct, strip);
    spnPct->setObjectName(QStringLiteral("spnPct"));
    spnPct->setSuffix(QStringLiteral(" %"));
    spnPct->setAccessibleName(QStringLiteral("Percentage for Go to %, 0 is up"));
    spnIP = new ParameterBox(rvx::ParameterField::IP, strip);
    spnIP->setObjectName(QStringLiteral("spnIP"));
    spnIP->setAccessibleName(QStringLiteral("IP number for Go to IP"));
    for (const CommandButton& entry : commandButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), strip);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setAutoDefault(false);
        button->setProperty("command", static_cast<int>(entry.command));
        connect(button, &QPushButton::clicked, this,
                [this, command = entry.command] { sendCommand(command); });
        commandButtons_.append(button);
        row->addControl(button);
        if (entry.command == rvx::CommandId::GoToPercent) {
            row->addControl(spnPct, true);
        } else if (entry.command == rvx::CommandId::GoToIp) {
            row->addControl(spnIP, true);
        }
    }
    for (ParameterBox* box : {spnPct, spnIP}) {
        connect(box, &QSpinBox::valueChanged, this, &frmSite::updateStrings);
        connect(box, &ParameterBox::judged, this, [this, box] {
            // A refused value is said at once, in the strip where the send would be told of.
            if (!box->problem().isEmpty()) {
                lblSend->setText(box->problem());
            } else if (lblSend->text().startsWith(QLatin1Char('"'))) {
                lblSend->clear();
            }
            updateActions();
        });
    }
    cmdIdentify = new QPushButton(QStringLiteral("Identif&y"), strip);
    cmdIdentify->setObjectName(QStringLiteral("cmdIdentify"));
    cmdIdentify->setToolTip(QStringLiteral("Jog Up, a pause, Jog Down: the blind wiggles"));
    connect(cmdIdentify, &QPushButton::clicked, this, &frmSite::identify);
    commandButtons_.append(cmdIdentify);
    row->addControl(cmdIdentify);
    row->setLastToTheRight(true);
    cmdStopSending = new QPushButton(QStringLiteral("Stop sending (Esc)"), strip);
    cmdStopSending->setObjectName(QStringLiteral("cmdStopSending"));
    connect(cmdStopSending, &QPushButton::clicked, this, &frmSite::stopSending);
    // Esc stops a send wherever the keyboard is in the window; it is taken only while one is
    // under way, so that it still closes an editor of the list otherwise.
    actStopSending = new QAction(QStringLiteral("Stop sending"), this);
    actStopSending->setObjectName(QStringLiteral("actStopSending"));
    actStopSending->setShortcut(QKeySequence(Qt::Key_Escape));
    actStopSending->setShortcutContext(Qt::WindowShortcut);
    addAction(actStopSending);
    connect(actStopSending, &QAction::triggered, this, &frmSite::stopSending);
    row->addControl(cmdStopSending);

    lblSend = new ui::Label(this);
    lblSend->setObjectName(QStringLiteral("lblSend"));
    lblSend->setTextFormat(Qt::PlainText);
    lblSend->setFrameShape(QFrame::StyledPanel);
    lblSend->setFrameShadow(QFrame::Sunken);
    ui::speakAs(lblSend, ui::Spoken::StatusLine);
    lblSend->setAccessibleDescription(QStringLiteral("Status of sending"));

    lblBus = new ui::Label(this);
    lblBus->setObjectName(QStringLiteral("lblBus"));
    lblBus->setTextFormat(Qt::PlainText);
    lblBus->setFrameShape(QFrame::StyledPanel);
    lblBus->setFrameShadow(QFrame::Sunken);
    ui::speakAs(lblBus, ui::Spoken::StatusLine);
    lblBus->setAccessibleDescription(QStringLiteral("Where the window sends and watches"));
    return strip;
}

SiteStrings frmSite::siteStrings() const {
    SiteStrings strings;
    strings.values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = spnPct->value();
    strings.values[static_cast<std::size_t>(rvx::ParameterField::IP)] = spnIP->value();
    strings.notation = strings_->notation();
    return strings;
}

QList<rvx::MadeFrame> frmSite::framesFor(rvx::CommandId command) const {
    return stepFor(command).frames;
}

QString frmSite::refusal(rvx::CommandId command) const {
    for (const rvx::ParameterByte& parameter : rvx::commandOf(command).parameterBytes()) {
        for (const ParameterBox* box : {spnPct, spnIP}) {
            if (box->field() == parameter.field && !box->problem().isEmpty()) {
                return box->problem();
            }
        }
    }
    return {};
}

SendStep frmSite::stepFor(rvx::CommandId command, std::chrono::milliseconds pause) const {
    const rvx::ParameterValues values = siteStrings().values;
    SendStep step{{}, pause, {}};
    for (const rvx::Motor& motor : selectedMotors()) {
        const auto frame =
            rvx::frameFor(rvx::commandOf(command), motor.kind, motor.address, values);
        if (frame) {
            step.frames.append(rvx::MadeFrame{*frame, command, motor.kind, motor.address, values});
            step.labels.append(fromView(motor.label));
        }
    }
    return step;
}

void frmSite::sendCommand(rvx::CommandId command) {
    // A value the frames do not admit is never sent, nor changed into one they do.
    if (const QString problem = refusal(command); !problem.isEmpty()) {
        lblSend->setText(problem);
        QApplication::beep();
        return;
    }
    sendSteps({stepFor(command)});
}

void frmSite::identify() {
    // Every selected motor jogs up, then after the pause all jog down again.
    sendSteps({stepFor(rvx::CommandId::JogUp),
               stepFor(rvx::CommandId::JogDown, std::chrono::milliseconds(identifyPauseMs))});
}

void frmSite::sendSteps(const QList<SendStep>& steps) {
    const qsizetype before = sender().records().size();
    if (sender().sendSteps(steps, this, this)) {
        // The records of this send follow those there were: a stop says how far it went.
        sending_ = steps;
        firstRecord_ = before;
        updateActions();
    }
}

void frmSite::stopSending() {
    sender().stopFor(this);
    if (!sending_.isEmpty()) {
        lblSend->setText(stoppedText());
        sending_.clear();
    }
    updateActions();
}

QString frmSite::stoppedText() const {
    // The records of the send, step after step; a step not begun has none.
    const QList<SendRecord>& records = sender().records();
    qsizetype at = firstRecord_;
    QStringList steps;
    for (const SendStep& step : sending_) {
        QStringList missed;
        qsizetype reached = 0;
        for (qsizetype k = 0; k < step.frames.size(); ++k, ++at) {
            const bool out = at < records.size() && records[at].window == this &&
                             (records[at].state == SendRecord::State::Sent ||
                              records[at].state == SendRecord::State::TakenByBridge ||
                              records[at].state == SendRecord::State::HandedToBridge);
            if (out) {
                ++reached;
                continue;
            }
            const QString address =
                QString::fromStdString(rvx::addressText(step.frames[k].address));
            const QString label = step.labels.value(k);
            missed.append(label.isEmpty() ? address
                                          : QStringLiteral("%1 (%2)").arg(label, address));
        }
        const QString command = fromView(rvx::commandOf(step.frames.value(0).command).name);
        QString text =
            QStringLiteral("%1 went out to %2 of %3 %4")
                .arg(command)
                .arg(reached)
                .arg(step.frames.size())
                .arg(step.frames.size() == 1 ? QStringLiteral("motor") : QStringLiteral("motors"));
        if (!missed.isEmpty()) {
            constexpr qsizetype named = 5;
            text += QStringLiteral(", not to ") + missed.mid(0, named).join(QStringLiteral(", "));
            if (missed.size() > named) {
                text += QStringLiteral(" and %1 more").arg(missed.size() - named);
            }
        }
        steps.append(text);
    }
    return QStringLiteral("Stopped: ") + steps.join(QStringLiteral("; "));
}

void frmSite::updateActions() {
    const bool chosen = tblMotors->selectionModel()->hasSelection();
    const bool busy = sender().busy();
    for (QPushButton* button : commandButtons_) {
        const auto command = button->property("command");
        const bool refused =
            command.isValid() && !refusal(static_cast<rvx::CommandId>(command.toInt())).isEmpty();
        button->setEnabled(chosen && !busy && !refused);
    }
    cmdDelete->setEnabled(chosen);
    strings_->setChosen(chosen);
    cmdStopSending->setEnabled(busy);
    actStopSending->setEnabled(busy);
    actBusConnection->setEnabled(!busy);
}

void frmSite::showBus() {
    // A bridge drives its own line: the baud rate and parity chosen do not reach it.
    const auto connection = BusConnection::load();
    QString text = QStringLiteral("Bus: not chosen");
    if (connection && connection->target.kind == rvx::bus::Target::Kind::Tcp) {
        const QString host = connection->target.host.contains(QLatin1Char(':'))
                                 ? QStringLiteral("[%1]").arg(connection->target.host)
                                 : connection->target.host;
        text = QStringLiteral("Bus: bridge %1:%2, line set on the bridge")
                   .arg(host)
                   .arg(connection->target.port);
    } else if (connection) {
        text = QStringLiteral("Bus: %1, %2").arg(connection->target.device, connection->lineText());
    }
    lblBus->setText(text);
}

void frmSite::showRowMenu(const QPoint& at) {
    if (!tblMotors->indexAt(at).isValid()) {
        return;
    }
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuMotor"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QPushButton* button : commandButtons_) {
        QAction* action = menu->addAction(button->text(), button, &QPushButton::click);
        action->setEnabled(button->isEnabled());
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("De&lete"), this, &frmSite::deleteSelected);
    menu->popup(tblMotors->viewport()->mapToGlobal(at));
}

// ---- The panes: the strings, and the bus monitor ----

void frmSite::buildPanes() {
    tabPanes = new QTabWidget(this);
    tabPanes->setObjectName(QStringLiteral("tabPanes"));

    strings_ = new SiteStringsPane(tabPanes);
    connect(strings_, &SiteStringsPane::notationChanged, this, &frmSite::updateStrings);
    connect(strings_, &SiteStringsPane::saveAsked, this, &frmSite::askWhereToExport);
    connect(strings_, &SiteStringsPane::exportAsked, this, &frmSite::exportForPlatform);
    tabPanes->addTab(strings_, QStringLiteral("&Strings"));

    auto* monitor = new SiteMonitorPane(*monitor_, session_.sender(), tabPanes);
    connect(monitor, &SiteMonitorPane::addressChosen, this, &frmSite::selectMotorOf);
    tabPanes->addTab(monitor, QStringLiteral("Bus &monitor"));
}

void frmSite::selectMotorOf(const rvx::Address& address, std::optional<rvx::AddressKind> kind) {
    // The first motor of the address whose kind agrees, as the monitor names it.
    const QList<rvx::Motor>& motors = document_->motors().motors();
    const auto found = std::find_if(motors.begin(), motors.end(), [&](const rvx::Motor& motor) {
        return motor.address == address && (!kind || motor.kind == *kind);
    });
    if (found == motors.end()) {
        return;
    }
    const auto row = static_cast<int>(found - motors.begin());
    QModelIndex shown = proxy_->mapFromSource(document_->motors().index(row, 0));
    if (!shown.isValid()) {
        txtFilter->clear();  // the list's filter hid it
        shown = proxy_->mapFromSource(document_->motors().index(row, 0));
    }
    tblMotors->selectionModel()->setCurrentIndex(
        shown, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tblMotors->scrollTo(shown);
}

QString frmSite::stringsText() const {
    const QList<rvx::Motor> motors = selectedMotors();
    return ::stringsText(motors, siteStrings());
}

void frmSite::updateStrings() {
    if (strings_ != nullptr && spnPct != nullptr) {
        strings_->showStrings(document_->motors().motors(), selectedRows(), siteStrings());
    }
}

QByteArray frmSite::exportTable(bool json) const {
    const QList<rvx::Motor> motors = selectedMotors();
    return stringsTable(motors, siteStrings(), json);
}

QString frmSite::refusedValues() const {
    for (const ParameterBox* box : {spnPct, spnIP}) {
        if (!box->problem().isEmpty()) {
            return box->problem();
        }
    }
    return {};
}

bool frmSite::exportTo(const QString& path, bool json, QString* problem) const {
    // The same refusal as every export's: a table of no motor is no file.
    if (tblMotors->selectionModel()->selectedRows().isEmpty()) {
        if (problem != nullptr) {
            *problem = QStringLiteral("Select the motors to export.");
        }
        return false;
    }
    // The strings are made with the values typed: none is written while one is refused.
    if (const QString refused = refusedValues(); !refused.isEmpty()) {
        if (problem != nullptr) {
            *problem = refused;
        }
        return false;
    }
    return saveWhole(path, exportTable(json), problem);
}

void frmSite::askWhereToExport(bool json) {
    const QString path = askWhereToSave(QStringLiteral("Save the strings"), QString(),
                                        json ? QStringLiteral("JSON (*.json);;All files (*)")
                                             : QStringLiteral("CSV (*.csv);;All files (*)"),
                                        json ? QStringLiteral("json") : QStringLiteral("csv"));
    if (path.isEmpty()) {
        return;
    }
    QString problem;
    if (!exportTo(path, json, &problem)) {
        tell(QStringLiteral("stringsNotSaved"),
             notSaved(QStringLiteral("The strings were not saved"), path), problem);
    }
}

std::optional<QByteArray> frmSite::platformFile(rvx::SiteExportKind kind,
                                                const BusConnection& connection,
                                                QString* problem) const {
    if (const QString refused = refusedValues(); !refused.isEmpty()) {
        if (problem != nullptr) {
            *problem = refused;
        }
        return std::nullopt;
    }
    const QList<rvx::Motor> motors = selectedMotors();
    return ::platformFile(kind, motors, connection, siteStrings(), problem);
}

bool frmSite::savePlatformFile(const QString& path, rvx::SiteExportKind kind,
                               const BusConnection& connection, QString* problem) const {
    const auto file = platformFile(kind, connection, problem);
    return file && saveWhole(path, *file, problem);
}

void frmSite::exportForPlatform(rvx::SiteExportKind kind) {
    auto* dialog = new BusConnectionDialog(BusConnection::load(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->askForExport(platformTitle(kind), platformSerialOnly(kind));
    connect(dialog, &QDialog::accepted, this, [this, dialog, kind] {
        const auto connection = dialog->connection();
        if (!connection) {
            return;
        }
        // Checked before a file name is asked for: a file that cannot be made is said at once.
        QString problem;
        if (!platformFile(kind, *connection, &problem)) {
            tell(QStringLiteral("platformFileNotMade"), QStringLiteral("The file was not made."),
                 problem);
            return;
        }
        auto* ask = new QFileDialog(this, QStringLiteral("Export: ") + platformTitle(kind),
                                    QString(), platformFilter(kind));
        ask->setObjectName(QStringLiteral("exportPlatformFile"));
        ask->setAcceptMode(QFileDialog::AcceptSave);
        ask->selectFile(suggestedPlatformFile(kind, document_->path()));
        ask->setDefaultSuffix(platformExtension(kind));
        ask->setAttribute(Qt::WA_DeleteOnClose);
        connect(ask, &QFileDialog::fileSelected, this,
                [this, kind, connection](const QString& path) {
                    QString why;
                    if (!savePlatformFile(path, kind, *connection, &why)) {
                        tell(QStringLiteral("platformFileNotSaved"),
                             notSaved(QStringLiteral("The file was not saved"), path), why);
                    }
                });
        ask->open();
    });
    dialog->open();
}
