#include "frmSite.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "bus_connection.h"
#include "controls.h"
#include "motor_sender.h"
#include "rvx/batch_table.h"
#include "rvx/bus_site_target.h"
#include "rvx/decode.h"
#include "rvx/frame.h"
#include "rvx/frame_report.h"
#include "rvx/motor_list.h"
#include "save_whole.h"
#include "send_record.h"
#include "site_model.h"

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A platform's file as the Export menu and dialogs name it and as it is saved: its name, the
// file dialog's filter, and the end of the name offered.
struct PlatformFile {
    rvx::SiteExportKind kind;
    const char* name;
    const char* filter;
    const char* suffix;
};

constexpr PlatformFile platformFiles[] = {
    {rvx::SiteExportKind::NodeRed, "Node-RED flow", "Node-RED flow (*.json)", "-flow.json"},
    {rvx::SiteExportKind::HomeAssistant, "Home Assistant package", "YAML (*.yaml)", ".yaml"},
    {rvx::SiteExportKind::OpenHabThings, "openHAB things", "openHAB things (*.things)", ".things"},
    {rvx::SiteExportKind::OpenHabItems, "openHAB items", "openHAB items (*.items)", ".items"},
};

const PlatformFile& platformFileOf(rvx::SiteExportKind kind) {
    const auto* found = std::ranges::find(platformFiles, kind, &PlatformFile::kind);
    return found != std::end(platformFiles) ? *found : platformFiles[0];
}

QString platformFileName(rvx::SiteExportKind kind) {
    return QString::fromLatin1(platformFileOf(kind).name);
}

QString platformFileFilter(rvx::SiteExportKind kind) {
    return QString::fromLatin1(platformFileOf(kind).filter) + QStringLiteral(";;All files (*)");
}

// The file offered: beside the site file and named after it ("east-wing-flow.json"), or
// "rvx-flow.json" for a site not saved yet.
QString suggestedPlatformFile(rvx::SiteExportKind kind, const QString& sitePath) {
    const QFileInfo site(sitePath);
    const QString name = (sitePath.isEmpty() ? QStringLiteral("rvx") : site.completeBaseName()) +
                         QString::fromLatin1(platformFileOf(kind).suffix);
    return sitePath.isEmpty() ? name : site.dir().filePath(name);
}

// A sent frame seen again on the bus within this time is taken for the one sent.
constexpr qint64 sentEchoMs = 5000;

// The buttons of the commands a motor is sent, in the order they stand.
struct CommandButton {
    const char* name;
    const char* caption;
    rvx::CommandId command;
};
constexpr CommandButton commandButtons[] = {
    {"cmdUp", "&Up", rvx::CommandId::Up},
    {"cmdStop", "S&top", rvx::CommandId::Stop},
    {"cmdDown", "&Down", rvx::CommandId::Down},
    {"cmdGoToPct", "Go to &%", rvx::CommandId::GoToPercent},
    {"cmdGoToIp", "Go to &IP #", rvx::CommandId::GoToIp},
    {"cmdJogUp", "Jog U&p", rvx::CommandId::JogUp},
    {"cmdJogDown", "Jog Do&wn", rvx::CommandId::JogDown},
};

// The address cell is edited in a field that says what the address lacks as it is typed.
class AddressDelegate : public QStyledItemDelegate {
public:
    AddressDelegate(QLabel* problem, QObject* parent)
        : QStyledItemDelegate(parent), problem_(problem) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        editor->setObjectName(QStringLiteral("txtCell"));
        if (auto* field = qobject_cast<QLineEdit*>(editor);
            field != nullptr && index.column() == MotorListModel::Address) {
            field->setObjectName(QStringLiteral("txtAddressCell"));
            connect(field, &QLineEdit::textEdited, problem_, [label = problem_](const QString& t) {
                label->setText(MotorListModel::addressProblem(t));
            });
        }
        return editor;
    }

private:
    QLabel* problem_;
};

// Keeps the motors that hold the filter text in any column, case ignored; reads the motors
// themselves rather than each cell through the model, so that a key typed in the filter of a
// large site is answered at once.
class SiteFilter : public QSortFilterProxyModel {
public:
    SiteFilter(const MotorListModel& motors, QObject* parent)
        : QSortFilterProxyModel(parent), motors_(motors) {}

    void setText(const QString& text) {
        text_ = text;
        invalidateFilter();
    }

protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& /*parent*/) const override {
        if (text_.isEmpty()) {
            return true;
        }
        const SiteMotor& motor = motors_.motors()[row];
        for (const QString* part : {&motor.label, &motor.room, &motor.address, &motor.note}) {
            if (part->contains(text_, Qt::CaseInsensitive)) {
                return true;
            }
        }
        return kindText(motor.kind).contains(text_, Qt::CaseInsensitive);
    }

private:
    const MotorListModel& motors_;
    QString text_;
};

}  // namespace

frmSite::frmSite(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmSite"));
    setWindowTitle(QStringLiteral("Site \u2013 Velkor RVX String Calculator"));
    setWindowIcon(ui::applicationIcon());
    model_ = new MotorListModel(this);
    sender_ = new MotorSender(this);
    buildList();
    buildActions();
    buildPanes();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* upper = new QWidget(splitter);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), upper);
    filterLabel->setBuddy(txtFilter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(cmdDelete);
    upperLayout->addLayout(filterRow);
    upperLayout->addWidget(tblMotors, 1);
    upperLayout->addWidget(lblProblem);
    splitter->addWidget(upper);
    splitter->addWidget(tabPanes);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    buildMenuBar();
    layout->setMenuBar(findChild<QMenuBar*>(QStringLiteral("menuBar")));
    layout->addWidget(findChild<QWidget*>(QStringLiteral("addStrip")));
    layout->addWidget(splitter, 1);
    layout->addWidget(findChild<QWidget*>(QStringLiteral("actionStrip")));
    layout->addWidget(lblSend);
    resize(960, 720);
    connect(model_->undoStack(), &QUndoStack::cleanChanged, this, &frmSite::showTitle);
    showTitle();

    connect(sender_, &MotorSender::changed, this, &frmSite::showSendState);
    connect(sender_, &MotorSender::changed, this, [this](const SendRecord& record, int) {
        if (record.state == SendRecord::State::Sent ||
            record.state == SendRecord::State::HandedToBridge) {
            frameLeft(record);
        }
        updateActions();
    });
    connect(sender_, &MotorSender::stopped, this, &frmSite::updateActions);
    connect(sender_, &MotorSender::sent, this, &frmSite::updateActions);
    connect(sender_, &MotorSender::failed, this, &frmSite::updateActions);
    connect(&watcher_, &rvx::bus::Watcher::received, this, &frmSite::received);
    connect(&watcher_, &rvx::bus::Watcher::opened, this, [this] {
        lblMonitor->setText(QStringLiteral("Watching %1").arg(BusConnection::load()->text()));
        cmdWatch->setText(QStringLiteral("Stop &watching"));
    });
    connect(&watcher_, &rvx::bus::Watcher::failed, this, [this](const rvx::bus::Error& error) {
        lblMonitor->setText(QStringLiteral("Not watching: ") + error.message);
        cmdWatch->setText(QStringLiteral("&Watch"));
    });
    connect(&watcher_, &rvx::bus::Watcher::stopped, this, [this] {
        lblMonitor->setText(QStringLiteral("Not watching"));
        cmdWatch->setText(QStringLiteral("&Watch"));
    });
    updateActions();
    updateStrings();
}

frmSite::~frmSite() {
    // The watcher signals as it stops, and the list and its views as they go; nothing of this
    // window may answer by then.
    watcher_.disconnect(this);
    watcher_.stop();
    model_->undoStack()->disconnect(this);
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
    }
}

// ---- The site file ----

namespace {

const QString recentKey = QStringLiteral("site/recent");
constexpr int recentCount = 8;
const QString siteFilter = QStringLiteral("Sites (*.csv);;All files (*)");

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void frmSite::buildMenuBar() {
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menuBar"));
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
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
    saveAsAction->setShortcut(QKeySequence::SaveAs);
    file->addSeparator();
    file->addMenu(mnuExport);
    file->addSeparator();
    QAction* closeAction = file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    closeAction->setShortcut(QKeySequence::Close);
    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuEdit"));
    edit->addAction(findChild<QAction*>(QStringLiteral("actUndo")));
    edit->addAction(findChild<QAction*>(QStringLiteral("actRedo")));
    edit->addSeparator();
    edit->addAction(QStringLiteral("De&lete"), this, &frmSite::deleteSelected);
}

QStringList frmSite::recentSites() {
    return QSettings().value(recentKey).toStringList();
}

void frmSite::rememberSite(const QString& path) {
    QStringList recent = recentSites();
    const QString full = QFileInfo(path).absoluteFilePath();
    recent.removeAll(full);
    recent.prepend(full);
    while (recent.size() > recentCount) {
        recent.removeLast();
    }
    QSettings().setValue(recentKey, recent);
    fillRecentMenu();
}

void frmSite::fillRecentMenu() {
    mnuRecent->clear();
    const QStringList recent = recentSites();
    for (const QString& path : recent) {
        mnuRecent->addAction(path, this, [this, path] {
            if (!modified() ||
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

bool frmSite::modified() const {
    return !model_->undoStack()->isClean();
}

void frmSite::showTitle() {
    const QString name =
        sitePath_.isEmpty() ? QStringLiteral("New site") : QFileInfo(sitePath_).fileName();
    setWindowTitle(name + QStringLiteral("[*] \u2013 Site \u2013 Velkor RVX String Calculator"));
    setWindowModified(modified());
}

void frmSite::tell(const QString& objectName, const QString& text, const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box->setObjectName(objectName);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool frmSite::openSite(const QString& path) {
    QFile file(path);
    QString problem;
    QByteArray bytes;
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        problem = path + QStringLiteral(": not a file");
    } else if (!file.open(QIODevice::ReadOnly)) {
        problem = path + QStringLiteral(": ") + file.errorString();
    } else if (file.size() > maxSiteBytes) {
        problem = path + QStringLiteral(": larger than %1 MB, no site").arg(maxSiteBytes >> 20);
    } else {
        bytes = file.read(maxSiteBytes + 1);
        if (file.error() != QFileDevice::NoError) {
            problem = path + QStringLiteral(": ") + file.errorString();
        }
    }
    if (problem.isEmpty()) {
        const auto reading = rvx::readMotorList(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (!reading.ok()) {
            QStringList lines;
            for (std::size_t k = 0; k < reading.problems.size() && k < 10; ++k) {
                lines.append(fromUtf8(reading.problems[k]));
            }
            if (reading.problems.size() > 10) {
                lines.append(QStringLiteral("and %1 more").arg(reading.problems.size() - 10));
            }
            problem = path + QStringLiteral(":\n") + lines.join(QLatin1Char('\n'));
        } else {
            QList<SiteMotor> motors;
            motors.reserve(static_cast<qsizetype>(reading.motors.size()));
            for (const auto& entry : reading.motors) {
                motors.append(SiteMotor{fromUtf8(entry.label), fromUtf8(entry.room),
                                        fromUtf8(entry.addressText), entry.kind,
                                        fromUtf8(entry.note)});
            }
            model_->setMotors(motors);
            sitePath_ = path;
            rememberSite(path);
            showTitle();
            return true;
        }
    }
    tell(QStringLiteral("siteNotRead"),
         QStringLiteral("The site was not opened; the list is as it was."), problem);
    return false;
}

QByteArray frmSite::siteText() const {
    QByteArray text;
    for (const SiteMotor& motor : model_->motors()) {
        rvx::Motor entry;
        entry.addressText = utf8(motor.address);
        entry.kind = motor.kind;
        entry.label = utf8(motor.label);
        entry.room = utf8(motor.room);
        entry.note = utf8(motor.note);
        const std::string line = rvx::writeMotorLine(entry);
        text.append(line.data(), static_cast<qsizetype>(line.size()));
        text.append('\n');
    }
    return text;
}

bool frmSite::saveSiteTo(const QString& path, QString* problem) {
    QString why;
    if (!saveWhole(path, siteText(), &why)) {
        if (problem != nullptr) {
            *problem = why;
        }
        tell(QStringLiteral("siteNotSaved"),
             QStringLiteral("The site was not saved; the file is as it was."), why);
        return false;
    }
    sitePath_ = path;
    model_->undoStack()->setClean();
    rememberSite(path);
    showTitle();
    return true;
}

bool frmSite::save() {
    return sitePath_.isEmpty() ? saveAs() : saveSiteTo(sitePath_);
}

bool frmSite::saveAs() {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save the site"), sitePath_, siteFilter);
    return !path.isEmpty() && saveSiteTo(path);
}

void frmSite::askToOpen() {
    if (modified() &&
        QMessageBox::question(this, QStringLiteral("Open a site"),
                              QStringLiteral("The changes to this site are not saved. Open "
                                             "another and lose them?")) != QMessageBox::Yes) {
        return;
    }
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open a site"), sitePath_, siteFilter);
    if (!path.isEmpty()) {
        openSite(path);
    }
}

void frmSite::closeEvent(QCloseEvent* event) {
    if (!modified()) {
        event->accept();
        return;
    }
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         QStringLiteral("The site has changes that are not saved."),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("confirmClose"));
    question.setInformativeText(QStringLiteral("Save them before the window closes?"));
    question.setDefaultButton(QMessageBox::Save);
    const int answer = question.exec();
    if (answer == QMessageBox::Save ? save() : answer == QMessageBox::Discard) {
        event->accept();
    } else {
        event->ignore();
    }
}

void frmSite::openWindow() {
    show();
    raise();
    activateWindow();
}

// ---- The motor list ----

void frmSite::buildList() {
    auto* filter = new SiteFilter(*model_, this);
    proxy_ = filter;
    proxy_->setSourceModel(model_);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);

    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("label, room, address or note"));
    txtFilter->setClearButtonEnabled(true);
    connect(txtFilter, &QLineEdit::textChanged, filter,
            [filter](const QString& text) { filter->setText(text); });

    lblProblem = new ui::Label(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setTextFormat(Qt::PlainText);
    ui::speakAs(lblProblem, ui::Spoken::StatusLine);
    connect(model_, &MotorListModel::refused, lblProblem, [this](const QString& message) {
        lblProblem->setText(message + QStringLiteral("; not taken"));
    });

    tblMotors = new QTableView(this);
    tblMotors->setObjectName(QStringLiteral("tblMotors"));
    tblMotors->setModel(proxy_);
    tblMotors->setSortingEnabled(true);
    tblMotors->sortByColumn(-1, Qt::AscendingOrder);  // list order until a heading is clicked
    tblMotors->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMotors->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblMotors->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    tblMotors->setItemDelegate(new AddressDelegate(lblProblem, tblMotors));
    tblMotors->horizontalHeader()->setStretchLastSection(true);
    tblMotors->verticalHeader()->setDefaultSectionSize(tblMotors->fontMetrics().height() + 6);
    tblMotors->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(tblMotors, &QWidget::customContextMenuRequested, this, &frmSite::showRowMenu);
    connect(tblMotors->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateActions();
        updateStrings();
    });
    connect(model_, &QAbstractItemModel::dataChanged, this, &frmSite::updateStrings);
    connect(model_, &QAbstractItemModel::modelReset, this, &frmSite::updateStrings);

    // Adding a motor: its address (judged as typed), kind, label and room.
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("addStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    auto* address = new QLineEdit(strip);
    address->setObjectName(QStringLiteral("txtNewAddress"));
    address->setPlaceholderText(QStringLiteral("address"));
    address->setAccessibleName(QStringLiteral("Address of the motor to add"));
    auto* kind = new QComboBox(strip);
    kind->setObjectName(QStringLiteral("cboNewKind"));
    kind->addItems({QStringLiteral("single"), QStringLiteral("group")});
    kind->setAccessibleName(QStringLiteral("Kind of the address to add"));
    auto* label = new QLineEdit(strip);
    label->setObjectName(QStringLiteral("txtNewLabel"));
    label->setPlaceholderText(QStringLiteral("label"));
    label->setAccessibleName(QStringLiteral("Label of the motor to add"));
    auto* room = new QLineEdit(strip);
    room->setObjectName(QStringLiteral("txtNewRoom"));
    room->setPlaceholderText(QStringLiteral("room"));
    room->setAccessibleName(QStringLiteral("Room of the motor to add"));
    cmdAdd = new QPushButton(QStringLiteral("&Add"), strip);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdAdd->setEnabled(false);
    row->addWidget(new QLabel(QStringLiteral("New motor:"), strip));
    row->addWidget(address);
    row->addWidget(kind);
    row->addWidget(label, 2);
    row->addWidget(room, 1);
    row->addWidget(cmdAdd);
    connect(address, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString problem = text.isEmpty() ? QString() : MotorListModel::addressProblem(text);
        lblProblem->setText(problem);
        cmdAdd->setEnabled(!text.isEmpty() && problem.isEmpty());
    });
    connect(address, &QLineEdit::returnPressed, this, &frmSite::addMotor);
    connect(label, &QLineEdit::returnPressed, this, &frmSite::addMotor);
    connect(room, &QLineEdit::returnPressed, this, &frmSite::addMotor);
    connect(cmdAdd, &QPushButton::clicked, this, &frmSite::addMotor);

    cmdDelete = new QPushButton(QStringLiteral("De&lete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    connect(cmdDelete, &QPushButton::clicked, this, &frmSite::deleteSelected);
    auto* del = new QAction(this);
    del->setShortcut(QKeySequence::Delete);
    del->setShortcutContext(Qt::WidgetShortcut);
    tblMotors->addAction(del);
    connect(del, &QAction::triggered, this, &frmSite::deleteSelected);

    QAction* undo = model_->undoStack()->createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("actUndo"));
    undo->setShortcut(QKeySequence::Undo);
    addAction(undo);
    QAction* redo = model_->undoStack()->createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("actRedo"));
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    for (const QKeySequence& key :
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
        if (!redoKeys.contains(key)) {
            redoKeys.append(key);
        }
    }
    redo->setShortcuts(redoKeys);
    addAction(redo);
}

void frmSite::addMotor() {
    auto* address = findChild<QLineEdit*>(QStringLiteral("txtNewAddress"));
    if (!cmdAdd->isEnabled()) {
        if (!address->text().isEmpty()) {
            QApplication::beep();
        }
        return;
    }
    SiteMotor motor;
    motor.address = address->text();
    motor.kind = readKind(findChild<QComboBox*>(QStringLiteral("cboNewKind"))->currentText())
                     .value_or(rvx::AddressKind::Single);
    motor.label = findChild<QLineEdit*>(QStringLiteral("txtNewLabel"))->text();
    motor.room = findChild<QLineEdit*>(QStringLiteral("txtNewRoom"))->text();
    model_->addMotor(motor);
    address->clear();
    findChild<QLineEdit*>(QStringLiteral("txtNewLabel"))->clear();
    address->setFocus();
}

void frmSite::deleteSelected() {
    model_->deleteRows(selectedRows());
}

QList<int> frmSite::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : tblMotors->selectionModel()->selectedRows()) {
        rows.append(proxy_->mapToSource(index).row());
    }
    std::ranges::sort(rows);
    return rows;
}

// ---- Sending ----

void frmSite::buildActions() {
    auto* strip = new QWidget(this);
    strip->setObjectName(QStringLiteral("actionStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    spnPct = new QSpinBox(strip);
    spnPct->setObjectName(QStringLiteral("spnPct"));
    spnPct->setRange(0, 100);
    spnPct->setValue(50);
    spnPct->setSuffix(QStringLiteral(" %"));
    spnPct->setAccessibleName(QStringLiteral("Percentage for Go to %, 0 is up"));
    spnIP = new QSpinBox(strip);
    spnIP->setObjectName(QStringLiteral("spnIP"));
    spnIP->setRange(1, 16);
    spnIP->setAccessibleName(QStringLiteral("IP number for Go to IP"));
    for (const CommandButton& entry : commandButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), strip);
        button->setObjectName(QString::fromLatin1(entry.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this, command = entry.command] { sendCommand(command); });
        commandButtons_.append(button);
        row->addWidget(button);
        if (entry.command == rvx::CommandId::GoToPercent) {
            row->addWidget(spnPct);
        } else if (entry.command == rvx::CommandId::GoToIp) {
            row->addWidget(spnIP);
        }
    }
    cmdIdentify = new QPushButton(QStringLiteral("Ide&ntify"), strip);
    cmdIdentify->setObjectName(QStringLiteral("cmdIdentify"));
    cmdIdentify->setToolTip(QStringLiteral("Jog Up, a pause, Jog Down: the blind wiggles"));
    connect(cmdIdentify, &QPushButton::clicked, this, &frmSite::identify);
    commandButtons_.append(cmdIdentify);
    row->addWidget(cmdIdentify);
    row->addStretch(1);
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
    row->addWidget(cmdStopSending);

    lblSend = new ui::Label(this);
    lblSend->setObjectName(QStringLiteral("lblSend"));
    lblSend->setTextFormat(Qt::PlainText);
    lblSend->setFrameShape(QFrame::StyledPanel);
    lblSend->setFrameShadow(QFrame::Sunken);
    ui::speakAs(lblSend, ui::Spoken::StatusLine);
    lblSend->setAccessibleDescription(QStringLiteral("Status of sending"));
}

QList<rvx::MadeFrame> frmSite::framesFor(rvx::CommandId command) const {
    rvx::ParameterValues values = rvx::startValues();
    values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = spnPct->value();
    values[static_cast<std::size_t>(rvx::ParameterField::IP)] = spnIP->value();
    QList<rvx::MadeFrame> frames;
    for (int row : selectedRows()) {
        const SiteMotor& motor = model_->motors()[row];
        const auto address = motor.bytes();
        if (!address) {
            continue;
        }
        const auto frame =
            rvx::frameFor(rvx::commandCatalogue[rvx::rowOf(command)], motor.kind, *address, values);
        if (!frame) {
            continue;
        }
        frames.append(rvx::MadeFrame{*frame, command, motor.kind, *address, values});
    }
    return frames;
}

void frmSite::sendCommand(rvx::CommandId command) {
    if (sender_->sendSteps({SendStep{framesFor(command), {}}})) {
        updateActions();
    }
}

void frmSite::identify() {
    // Every selected motor jogs up, then after the pause all jog down again.
    const QList<SendStep> steps{
        {framesFor(rvx::CommandId::JogUp), {}},
        {framesFor(rvx::CommandId::JogDown), std::chrono::milliseconds(identifyPauseMs)},
    };
    if (sender_->sendSteps(steps)) {
        updateActions();
    }
}

void frmSite::stopSending() {
    sender_->stop();
    updateActions();
}

void frmSite::showSendState(const SendRecord& record) {
    lblSend->setText(sendText(record));
}

void frmSite::updateActions() {
    const bool chosen = !tblMotors->selectionModel()->selectedRows().isEmpty();
    const bool busy = sender_->busy();
    for (QPushButton* button : commandButtons_) {
        button->setEnabled(chosen && !busy);
    }
    cmdDelete->setEnabled(chosen);
    cmdExport->setEnabled(chosen);
    mnuExport->menuAction()->setEnabled(chosen);
    cmdStopSending->setEnabled(busy);
    actStopSending->setEnabled(busy);
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

// ---- The strings pane ----

void frmSite::buildPanes() {
    tabPanes = new QTabWidget(this);
    tabPanes->setObjectName(QStringLiteral("tabPanes"));

    auto* strings = new QWidget(tabPanes);
    auto* stringsLayout = new QVBoxLayout(strings);
    auto* bar = new QHBoxLayout;
    cboNotation = new QComboBox(strings);
    cboNotation->setObjectName(QStringLiteral("cboNotation"));
    for (const auto& info : rvx::notationCatalogue) {
        cboNotation->addItem(fromView(info.name));
    }
    cboNotation->setAccessibleName(QStringLiteral("Notation of the strings"));
    connect(cboNotation, &QComboBox::currentIndexChanged, this, &frmSite::updateStrings);
    cmdCopyAll = new QPushButton(QStringLiteral("&Copy all"), strings);
    cmdCopyAll->setObjectName(QStringLiteral("cmdCopyAll"));
    connect(cmdCopyAll, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(stringsText()); });
    // A platform's file of the selected motors, one entry a platform.
    mnuExport = new QMenu(QStringLiteral("&Export for a platform"), this);
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    mnuExport->menuAction()->setObjectName(QStringLiteral("actExport"));
    for (const rvx::SiteExportInfo& info : rvx::siteExportCatalogue) {
        QAction* action =
            mnuExport->addAction(platformFileName(info.kind) + QStringLiteral("\u2026"), this,
                                 [this, kind = info.kind] { exportForPlatform(kind); });
        action->setObjectName(QStringLiteral("actExport_") + fromView(info.name));
    }
    cmdExport = new QPushButton(QStringLiteral("&Export\u2026"), strings);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setToolTip(
        QStringLiteral("The selected motors as a file that a platform imports: a Node-RED flow, "
                       "a Home Assistant package, openHAB things and items"));
    cmdExport->setMenu(mnuExport);
    auto* notationLabel = new QLabel(QStringLiteral("N&otation:"), strings);
    notationLabel->setBuddy(cboNotation);
    bar->addWidget(notationLabel);
    bar->addWidget(cboNotation);
    bar->addStretch(1);
    bar->addWidget(cmdCopyAll);
    for (const bool json : {false, true}) {
        auto* button = new QPushButton(
            json ? QStringLiteral("Save as &JSON\u2026") : QStringLiteral("Save as CS&V\u2026"),
            strings);
        button->setObjectName(json ? QStringLiteral("cmdSaveJson") : QStringLiteral("cmdSaveCsv"));
        connect(button, &QPushButton::clicked, this, [this, json] { askWhereToExport(json); });
        bar->addWidget(button);
    }
    bar->addWidget(cmdExport);
    txtStrings = new QPlainTextEdit(strings);
    txtStrings->setObjectName(QStringLiteral("txtStrings"));
    txtStrings->setReadOnly(true);
    txtStrings->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtStrings->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    stringsLayout->addLayout(bar);
    stringsLayout->addWidget(txtStrings, 1);
    tabPanes->addTab(strings, QStringLiteral("&Strings"));

    auto* monitor = new QWidget(tabPanes);
    auto* monitorLayout = new QVBoxLayout(monitor);
    auto* monitorBar = new QHBoxLayout;
    cmdWatch = new QPushButton(QStringLiteral("&Watch"), monitor);
    cmdWatch->setObjectName(QStringLiteral("cmdWatch"));
    connect(cmdWatch, &QPushButton::clicked, this, &frmSite::toggleWatching);
    cmdPause = new QPushButton(QStringLiteral("&Pause"), monitor);
    cmdPause->setObjectName(QStringLiteral("cmdPause"));
    cmdPause->setCheckable(true);
    connect(cmdPause, &QPushButton::clicked, this, &frmSite::togglePause);
    cmdClearMonitor = new QPushButton(QStringLiteral("C&lear"), monitor);
    cmdClearMonitor->setObjectName(QStringLiteral("cmdClearMonitor"));
    connect(cmdClearMonitor, &QPushButton::clicked, this, &frmSite::clearMonitor);
    cmdSaveMonitor = new QPushButton(QStringLiteral("Save as &JSON Lines\u2026"), monitor);
    cmdSaveMonitor->setObjectName(QStringLiteral("cmdSaveMonitor"));
    connect(cmdSaveMonitor, &QPushButton::clicked, this, &frmSite::saveMonitor);
    lblMonitor = new ui::Label(QStringLiteral("Not watching"), monitor);
    lblMonitor->setObjectName(QStringLiteral("lblMonitor"));
    lblMonitor->setTextFormat(Qt::PlainText);
    ui::speakAs(lblMonitor, ui::Spoken::StatusLine);
    monitorBar->addWidget(cmdWatch);
    monitorBar->addWidget(cmdPause);
    monitorBar->addWidget(cmdClearMonitor);
    monitorBar->addWidget(cmdSaveMonitor);
    monitorBar->addWidget(lblMonitor, 1);
    tblMonitor = new QTableWidget(0, 7, monitor);
    tblMonitor->setObjectName(QStringLiteral("tblMonitor"));
    tblMonitor->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Command"),
                                           QStringLiteral("Address"), QStringLiteral("Motor"),
                                           QStringLiteral("Result"), QStringLiteral("Sent"),
                                           QStringLiteral("Frame")});
    tblMonitor->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMonitor->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMonitor->horizontalHeader()->setStretchLastSection(true);
    tblMonitor->verticalHeader()->hide();
    monitorLayout->addLayout(monitorBar);
    monitorLayout->addWidget(tblMonitor, 1);
    tabPanes->addTab(monitor, QStringLiteral("Bus &monitor"));
}

QString frmSite::stringsText() const {
    const auto notation = static_cast<rvx::Notation>(std::max(0, cboNotation->currentIndex()));
    rvx::ParameterValues values = rvx::startValues();
    values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = spnPct->value();
    values[static_cast<std::size_t>(rvx::ParameterField::IP)] = spnIP->value();
    QString text;
    for (int row : selectedRows()) {
        const SiteMotor& motor = model_->motors()[row];
        const auto address = motor.bytes();
        if (!address) {
            continue;
        }
        QString heading = motor.label.isEmpty() ? QStringLiteral("(no label)") : motor.label;
        if (!motor.room.isEmpty()) {
            heading += QStringLiteral(", ") + motor.room;
        }
        text += heading + QStringLiteral(": ") + kindText(motor.kind) + QLatin1Char(' ') +
                QString::fromStdString(rvx::addressText(*address)) + QLatin1Char('\n');
        for (const auto& command : rvx::commandCatalogue) {
            const auto frame = rvx::frameFor(command, motor.kind, *address, values);
            text += QStringLiteral("  %1  %2\n")
                        .arg(fromView(command.name), -15)
                        .arg(frame ? QString::fromStdString(rvx::writeFrame(*frame, notation))
                                   : QString());
        }
    }
    return text;
}

std::optional<QByteArray> frmSite::exportTable(bool json, QString* /*problem*/) const {
    std::vector<rvx::Motor> motors;
    for (int row : selectedRows()) {
        const SiteMotor& motor = model_->motors()[row];
        rvx::Motor entry;
        entry.addressText = motor.address.toStdString();
        entry.address = motor.bytes().value_or(rvx::Address{});
        entry.kind = motor.kind;
        entry.label = motor.label.toStdString();
        motors.push_back(std::move(entry));
    }
    rvx::BatchOptions options;
    options.values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = spnPct->value();
    options.values[static_cast<std::size_t>(rvx::ParameterField::IP)] = spnIP->value();
    options.rows = rvx::allCommandRows();
    options.format = json ? rvx::Format::Json : rvx::Format::Csv;
    options.notation = static_cast<rvx::Notation>(std::max(0, cboNotation->currentIndex()));
    std::string table;
    rvx::StringSink sink(table);
    rvx::BufferedWriter out(sink);
    rvx::writeTable(motors, options, out);
    (void)out.finish();
    return QByteArray::fromStdString(table);
}

bool frmSite::exportTo(const QString& path, bool json, QString* problem) const {
    const auto table = exportTable(json, problem);
    return table && saveWhole(path, *table, problem);
}

void frmSite::askWhereToExport(bool json) {
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save the strings"), QString(),
                                     json ? QStringLiteral("JSON (*.json);;All files (*)")
                                          : QStringLiteral("CSV (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString problem;
    if (!exportTo(path, json, &problem)) {
        tell(QStringLiteral("stringsNotSaved"),
             QStringLiteral("The strings were not saved; the file is as it was."), problem);
    }
}

std::optional<QByteArray> frmSite::platformFile(rvx::SiteExportKind kind,
                                                const BusConnection& connection,
                                                QString* problem) const {
    const auto fail = [problem](const QString& why) -> std::optional<QByteArray> {
        if (problem != nullptr) {
            *problem = why;
        }
        return std::nullopt;
    };
    std::vector<rvx::Motor> site;
    for (int row : selectedRows()) {
        const ::SiteMotor& motor = model_->motors()[row];
        const auto address = motor.bytes();
        if (!address) {
            // A file without one of the motors asked for would pass for the whole site.
            return fail(QStringLiteral("%1 has no right address (%2): correct it or leave it "
                                       "out of the selection.")
                            .arg(motor.label.isEmpty()
                                     ? QStringLiteral("The motor of row %1").arg(row + 1)
                                     : QStringLiteral("\u201C%1\u201D").arg(motor.label),
                                 MotorListModel::addressProblem(motor.address)));
        }
        rvx::Motor entry;
        entry.address = *address;
        entry.kind = motor.kind;
        entry.label = motor.label.toStdString();
        site.push_back(std::move(entry));
    }
    if (site.empty()) {
        return fail(QStringLiteral("Select the motors to export."));
    }
    rvx::SiteExportRequest request;
    request.motors = site;
    request.target = rvx::bus::siteTargetOf(connection.target, connection.settings);
    request.values[static_cast<std::size_t>(rvx::ParameterField::Pct)] = spnPct->value();
    request.values[static_cast<std::size_t>(rvx::ParameterField::IP)] = spnIP->value();
    request.notation = static_cast<rvx::Notation>(std::max(0, cboNotation->currentIndex()));
    const rvx::SiteExport file = rvx::exportSite(kind, request);
    if (!file.error.empty()) {
        return fail(QString::fromStdString(file.error));
    }
    return QByteArray::fromStdString(file.text);
}

bool frmSite::savePlatformFile(const QString& path, rvx::SiteExportKind kind,
                               const BusConnection& connection, QString* problem) const {
    const auto file = platformFile(kind, connection, problem);
    return file && saveWhole(path, *file, problem);
}

void frmSite::exportForPlatform(rvx::SiteExportKind kind) {
    const bool serialOnly =
        kind == rvx::SiteExportKind::OpenHabThings || kind == rvx::SiteExportKind::OpenHabItems;
    auto* dialog = new BusConnectionDialog(BusConnection::load(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->askForExport(platformFileName(kind),
                         serialOnly ? QStringLiteral("openHAB's serial binding reaches a serial "
                                                     "port of its own machine only")
                                    : QString());
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
        auto* ask = new QFileDialog(this, QStringLiteral("Export: ") + platformFileName(kind),
                                    QString(), platformFileFilter(kind));
        ask->setObjectName(QStringLiteral("exportPlatformFile"));
        ask->setAcceptMode(QFileDialog::AcceptSave);
        ask->selectFile(suggestedPlatformFile(kind, sitePath_));
        ask->setAttribute(Qt::WA_DeleteOnClose);
        connect(ask, &QFileDialog::fileSelected, this,
                [this, kind, connection](const QString& path) {
                    QString why;
                    if (!savePlatformFile(path, kind, *connection, &why)) {
                        tell(QStringLiteral("platformFileNotSaved"),
                             QStringLiteral("The file was not saved; it is as it was."), why);
                    }
                });
        ask->open();
    });
    dialog->open();
}

void frmSite::updateStrings() {
    if (txtStrings != nullptr) {
        txtStrings->setPlainText(stringsText());
    }
}

// ---- The bus monitor ----

void frmSite::toggleWatching() {
    if (watcher_.watching()) {
        watcher_.stop();
        return;
    }
    const auto connection = BusConnection::load();
    if (!connection) {
        sender_->chooseConnection([this] {
            if (BusConnection::load()) {
                toggleWatching();
            }
        });
        return;
    }
    lblMonitor->setText(QStringLiteral("Opening %1 \u2026").arg(connection->text()));
    watcher_.start(connection->target, connection->settings);
}

void frmSite::togglePause() {
    paused_ = cmdPause->isChecked();
    if (!paused_) {
        const auto held = std::exchange(heldBack_, {});
        for (const auto& [run, sentHere] : held) {
            addMonitorRow(run, sentHere);
        }
    }
}

void frmSite::clearMonitor() {
    monitorRows_.clear();
    heldBack_.clear();
    tblMonitor->setRowCount(0);
}

void frmSite::received(const rvx::bus::Received& run) {
    if (paused_) {
        heldBack_.append({run, false});
        return;
    }
    addMonitorRow(run, false);
}

void frmSite::frameLeft(const SendRecord& record) {
    const QByteArray bytes(reinterpret_cast<const char*>(record.made.bytes.data()),
                           static_cast<qsizetype>(record.made.bytes.size()));
    if (!watcher_.watching()) {
        return;
    }
    // The frame is shown as it left; should the line hand it back (an adapter that hears its
    // own sends), that row is marked as well.
    sentFrames_.append({bytes, QDateTime::currentDateTimeUtc()});
    rvx::bus::Received run;
    run.kind = rvx::ScannedRun::Kind::Framed;
    run.bytes = bytes;
    run.time = QDateTime::currentDateTimeUtc();
    if (paused_) {
        heldBack_.append({run, true});
    } else {
        addMonitorRow(run, true);
    }
}

void frmSite::addMonitorRow(const rvx::bus::Received& run, bool sentHere) {
    MonitorRow row{run, {}, sentHere};
    QString command;
    QString address;
    QString result;
    if (run.isFrame()) {
        const rvx::DecodedFrame decoded = rvx::decodeFrame(run.span());
        command = decoded.command ? fromView(rvx::commandCatalogue[*decoded.command].name)
                                  : QStringLiteral("unknown command");
        if (decoded.address) {
            address = QString::fromStdString(rvx::addressText(*decoded.address));
            row.label = model_->labelOf(*decoded.address, decoded.kind);
        }
        if (decoded.madeByTool()) {
            result = QStringLiteral("valid");
        } else {
            QStringList findings;
            for (const auto& finding : decoded.findings) {
                findings.append(QString::fromStdString(finding.message));
            }
            result = QStringLiteral("not valid: ") + findings.join(QStringLiteral("; "));
        }
        // A frame this window sent, seen again: the first of the same bytes sent lately.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        sentFrames_.removeIf(
            [&now](const auto& sent) { return sent.second.msecsTo(now) > sentEchoMs; });
        for (auto it = sentFrames_.begin(); !sentHere && it != sentFrames_.end(); ++it) {
            if (it->first == run.bytes) {
                row.sent = true;
                sentFrames_.erase(it);
                break;
            }
        }
    } else {
        result = QStringLiteral("noise, %1 byte%2")
                     .arg(run.bytes.size())
                     .arg(run.bytes.size() == 1 ? QString() : QStringLiteral("s"));
    }
    monitorRows_.append(row);
    const int at = tblMonitor->rowCount();
    tblMonitor->insertRow(at);
    const QStringList cells{run.time.toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                            command,
                            address,
                            row.label,
                            result,
                            row.sent ? QStringLiteral("sent") : QString(),
                            QString::fromStdString(rvx::writeBytes(run.span()))};
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        item->setToolTip(cells[column]);
        tblMonitor->setItem(at, column, item);
    }
    tblMonitor->scrollToBottom();
    emit monitorRowAdded(at);
}

QByteArray frmSite::monitorJsonLines() const {
    QByteArray lines;
    for (const MonitorRow& row : monitorRows_) {
        const QByteArray label = row.label.toUtf8();
        const rvx::MonitorMarks marks{
            std::string_view(label.constData(), static_cast<std::size_t>(label.size())), row.sent};
        lines += QByteArray::fromStdString(
                     rvx::monitorJsonLine(row.run.span(), row.run.kind, row.run.utcMs(), marks)) +
                 '\n';
    }
    return lines;
}

bool frmSite::saveMonitorTo(const QString& path, QString* problem) const {
    return saveWhole(path, monitorJsonLines(), problem);
}

void frmSite::saveMonitor() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save the monitor as JSON Lines"), QString(),
        QStringLiteral("JSON Lines (*.jsonl);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QString problem;
    if (!saveMonitorTo(path, &problem)) {
        lblMonitor->setText(QStringLiteral("Not saved: ") + problem);
        return;
    }
    lblMonitor->setText(QStringLiteral("Saved to ") + path);
}
