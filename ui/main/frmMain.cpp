#include "main/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <algorithm>
#include <cmath>
#include <optional>
#include <span>
#include <string_view>

#include "controls.h"
#include "main/frmHELP.h"
#include "rvx/address.h"
#include "rvx/notation.h"
#include "rvx/number.h"
#include "rvx/value_rules.h"
#include "send/frmSendLog.h"
#include "send/motor_sender.h"
#include "send/send_record.h"
#include "session.h"
#include "site/frmSite.h"
#include "text.h"

using rvx::ParameterField;
using ui::fromView;

namespace {

using ui::Align;
using ui::ControlRow;
using ui::FontStyle;
using ui::Kind;
using ui::StartState;

constexpr auto Frame = Kind::Frame;
constexpr auto Label = Kind::Label;
constexpr auto Field = Kind::Field;
constexpr auto Button = Kind::Button;
constexpr auto Option = Kind::Option;
constexpr auto List = Kind::List;
constexpr auto Line = Kind::Line;
constexpr auto Shown = StartState::Shown;
constexpr auto Hidden = StartState::Hidden;
constexpr auto Disabled = StartState::Disabled;
constexpr auto Plain = FontStyle::Default;
constexpr auto Bold975 = FontStyle::Bold975;
constexpr auto Bold825 = FontStyle::Bold825;
constexpr auto Left = Align::Left;
constexpr auto Right = Align::Right;
constexpr auto Centre = Align::Centre;

// clang-format off
constexpr ControlRow controlRows[] = {
    // name        kind    caption                                 container     left  top   width height tab state max font align
    {"frmAddr",    Frame,  "Single Motor or Group address",        "frmMain",    240,  360,  6735, 1215,  6, Shown,  0, Bold975, Left},
    {"optSM",      Option, "Single Motor Address",                 "frmAddr",    240,  360,  2175, 255,   7, Shown,  0, Plain,   Left},
    {"optGA",      Option, "Group Address",                        "frmAddr",    240,  800,  1935, 255,   8, Shown,  0, Plain,   Left},
    {"txtSM",      Field,  "",                                     "frmAddr",    2160, 360,  1215, 300,   9, Hidden, 6, Plain,   Centre},
    {"txtG",       Field,  "",                                     "frmAddr",    2160, 800,  1215, 300,  10, Hidden, 6, Plain,   Centre},
    {"cmdCalc",    Button, "Calculate",                            "frmAddr",    3600, 360,  1215, 400,   3, Hidden, 0, Bold975, Left},

    {"frmMtr",     Frame,  "Display Serial Strings",               "frmMain",    7080, 360,  6615, 1215,  1, Shown,  0, Bold975, Left},
    {"optMQR",     Option, "All Commands",                         "frmMtr",     240,  360,  1455, 495,   5, Shown,  0, Plain,   Left},
    {"optPX40",    Option, "Choose Command",                       "frmMtr",     1920, 480,  2055, 255,   4, Shown,  0, Plain,   Left},
    {"cmdHELP",    Button, "?",                                    "frmMtr",     4080, 480,  735,  375,   0, Shown,  0, Bold975, Left},

    {"frmStrings", Frame,  "All Commands",                         "frmMain",    240,  1680, 6735, 8415, 11, Hidden, 0, Bold975, Left},
    {"txtUP",      Field,  "",                                     "frmStrings", 120,  480,  4260, 285,  14, Shown, 50, Bold825, Centre},
    {"Label1",     Label,  "UP",                                   "frmStrings", 4440, 480,  615,  255,  18, Shown,  0, Bold825, Left},
    {"txtDOWN",    Field,  "",                                     "frmStrings", 120,  960,  4260, 285,  13, Shown, 50, Bold825, Centre},
    {"Label2",     Label,  "DOWN",                                 "frmStrings", 4440, 960,  615,  255,  17, Shown,  0, Bold825, Left},
    {"txtRU",      Field,  "0",                                    "frmStrings", 5280, 960,  495,  285,  58, Shown,  3, Plain,   Centre},
    {"txtSTOP",    Field,  "",                                     "frmStrings", 120,  1440, 4260, 285,  12, Shown, 50, Bold825, Centre},
    {"Label3",     Label,  "STOP",                                 "frmStrings", 4440, 1440, 615,  255,  16, Shown,  0, Bold825, Left},
    {"txtNIPU",    Field,  "",                                     "frmStrings", 120,  1920, 4260, 285,  23, Shown, 50, Bold825, Centre},
    {"Label5",     Label,  "Next IP UP",                           "frmStrings", 4440, 1920, 1215, 255,  21, Shown,  0, Bold825, Left},
    {"txtNIPD",    Field,  "",                                     "frmStrings", 120,  2400, 4260, 285,  52, Shown, 50, Bold825, Centre},
    {"Label6",     Label,  "Next IP DOWN",                         "frmStrings", 4440, 2400, 1455, 255,  22, Shown,  0, Bold825, Left},
    {"txtGIP",     Field,  "",                                     "frmStrings", 120,  2880, 4260, 285,  19, Shown, 50, Bold825, Centre},
    {"Label4",     Label,  "Go To IP ",                            "frmStrings", 4440, 2880, 1095, 255,  15, Shown,  0, Bold825, Left},
    {"txtIP",      Field,  "1",                                    "frmStrings", 5400, 2880, 495,  285,  20, Shown,  2, Plain,   Centre},
    {"txtGP",      Field,  "",                                     "frmStrings", 120,  3360, 4260, 285,  24, Shown, 50, Bold825, Centre},
    {"Label7",     Label,  "Go To %",                              "frmStrings", 4440, 3360, 855,  255,  25, Shown,  0, Bold825, Left},
    {"txtPct",     Field,  "50",                                   "frmStrings", 5400, 3360, 495,  285,  26, Shown,  4, Plain,   Centre},
    {"txtJU",      Field,  "",                                     "frmStrings", 120,  3840, 4260, 285,  51, Shown, 50, Bold825, Centre},
    {"Label15",    Label,  "Jog Up 10 ms",                         "frmStrings", 4440, 3840, 1455, 255,  54, Shown,  0, Bold825, Left},
    {"txtMSU",     Field,  "10",                                   "frmStrings", 6000, 3840, 495,  285,  56, Shown,  4, Plain,   Centre},
    {"txtJD",      Field,  "",                                     "frmStrings", 120,  4320, 4260, 285,  53, Shown, 50, Bold825, Centre},
    {"Label16",    Label,  "Jog Down 10 ms",                       "frmStrings", 4440, 4320, 1575, 255,  55, Shown,  0, Bold825, Left},
    {"txtMSD",     Field,  "10",                                   "frmStrings", 6000, 4320, 495,  285,  57, Shown,  4, Plain,   Centre},
    {"Line1",      Line,   "",                                     "frmStrings", 0,    4800, 6720, 15,   -1, Shown,  0, Plain,   Left},
    {"txtL",       Field,  "1",                                    "frmStrings", 120,  4920, 495,  285,  37, Shown,  3, Plain,   Centre},
    {"Label13",    Label,  "Priority For Lock Functions",          "frmStrings", 720,  4920, 2655, 300,  38, Shown,  0, Bold825, Left},
    {"txtLU",      Field,  "",                                     "frmStrings", 120,  5280, 4260, 285,  27, Shown, 50, Bold825, Centre},
    {"Label8",     Label,  "Lock UP",                              "frmStrings", 4440, 5280, 855,  255,  32, Shown,  0, Bold825, Left},
    {"txtLD",      Field,  "",                                     "frmStrings", 120,  5760, 4260, 285,  28, Shown, 50, Bold825, Centre},
    {"Label9",     Label,  "Lock DOWN",                            "frmStrings", 4440, 5760, 1215, 255,  33, Shown,  0, Bold825, Left},
    {"txtLC",      Field,  "",                                     "frmStrings", 120,  6240, 4260, 285,  29, Shown, 50, Bold825, Centre},
    {"Label10",    Label,  "Lock Current",                         "frmStrings", 4440, 6240, 1215, 255,  34, Shown,  0, Bold825, Left},
    {"txtLIP",     Field,  "",                                     "frmStrings", 120,  6720, 4260, 285,  30, Shown, 50, Bold825, Centre},
    {"Label11",    Label,  "Lock @ IP",                            "frmStrings", 4440, 6720, 975,  255,  35, Shown,  0, Bold825, Left},
    {"txtIPL",     Field,  "1",                                    "frmStrings", 5520, 6720, 495,  285,  39, Shown,  2, Plain,   Centre},
    {"txtUL",      Field,  "",                                     "frmStrings", 120,  7200, 4260, 285,  31, Shown, 50, Bold825, Centre},
    {"Label12",    Label,  "Unlock",                               "frmStrings", 4440, 7200, 855,  255,  36, Shown,  0, Bold825, Left},
    {"cmdCLEAR",   Button, "CLEAR",                                "frmStrings", 240,  7800, 1215, 495,   2, Shown,  0, Bold825, Left},
    {"lblE",       Label,  "velkor systems",                       "frmStrings", 1800, 7920, 2055, 255,  40, Shown,  0, Plain,   Centre},

    {"frmC",       Frame,  "Choose Command",                       "frmMain",    7080, 1680, 6735, 2175, 41, Hidden, 0, Bold975, Left},
    {"Combo1",     List,   "",                                     "frmC",       120,  360,  1935, 315,  42, Disabled, 0, Bold825, Left},
    {"lblS",       Label,  "Choose Command From Drop Down Menu",   "frmC",       2160, 360,  3015, 375,  43, Shown,  0, Plain,   Right},
    {"lblSC",      Label,  "lblSC",                                "frmC",       120,  840,  1575, 375,  45, Shown,  0, Bold825, Right},
    {"txtS",       Field,  "",                                     "frmC",       1800, 840,  4695, 285,  44, Shown, 50, Bold825, Centre},
    {"lblD",       Label,  "lblD",                                 "frmC",       120,  1200, 1575, 375,  46, Shown,  0, Bold825, Right},
    {"txtD",       Field,  "",                                     "frmC",       1800, 1200, 495,  285,  47, Hidden, 4, Plain,   Centre},
    {"lblDD",      Label,  "lblDD",                                "frmC",       120,  1560, 1575, 375,  50, Shown,  0, Bold825, Right},
    {"txtDD",      Field,  "",                                     "frmC",       1800, 1560, 495,  285,  49, Hidden, 4, Plain,   Centre},
    {"cmdCALCS",   Button, "Calculate",                            "frmC",       5400, 280,  1095, 375,  48, Hidden, 0, Bold825, Left},
};
// clang-format on

// The rows of the two frames shown at the start come first; the views hidden at the start,
// "All Commands" and "Choose Command", are made once the window has been painted.
constexpr std::size_t startRowCount = 10;
static_assert(std::string_view(controlRows[startRowCount].name) == "frmStrings");
constexpr std::span<const ControlRow> startRows{controlRows, startRowCount};
constexpr std::span<const ControlRow> viewRows = std::span(controlRows).subspan(startRowCount);

// What a screen reader says each control is. The output fields are named after their commands.
constexpr std::pair<const char*, const char*> spokenNames[] = {
    {"optSM", "Use a single motor address"},
    {"optGA", "Use a group address"},
    {"txtSM", "Single motor address"},
    {"txtG", "Group address"},
    {"cmdCalc", "Calculate all strings"},
    {"optMQR", "Show all commands"},
    {"optPX40", "Choose one command"},
    {"cmdHELP", "Help: serial line settings"},
    {"txtRU", "Value for Down"},
    {"txtIP", "IP number for Go to IP"},
    {"txtPct", "Percentage for Go to %, 0 is up"},
    {"txtMSU", "Jog Up time in units of 10 ms"},
    {"txtMSD", "Jog Down time in units of 10 ms"},
    {"txtL", "Priority for the lock commands"},
    {"txtIPL", "IP number for Lock @ IP"},
    {"cmdCLEAR", "Clear all strings"},
    {"Combo1", "Command"},
    {"txtS", "String of the chosen command"},
    {"txtD", "Parameter of the chosen command"},
    {"txtDD", "IP number for Lock @ IP"},
    {"cmdCALCS", "Calculate the chosen command's string"},
};

// The layout reaches 13815 twips to the right (frmC at its stored place) and 10095 down
// (the bottom of frmStrings); the window leaves the frames' own margin beyond both.
constexpr int clientWidth = 13815 + 240;
constexpr int clientHeight = 10095 + 240;
// The strip below the client area that tells how the latest send went, in pixels.
constexpr int sendStripHeight = 22;

// Where cmdCalc stands beside each address field.
constexpr int calcTopSingle = 360;
constexpr int calcTopGroup = 720;
// Where frmC stands once "Choose Command" has been chosen: in the place of frmStrings.
constexpr int chooserLeft = 240;

// The four fields that an address change, a choice of address kind and a Calculate after a
// data error put back to their start values, in this order.
constexpr std::array<ParameterField, 4> restoredFields{ParameterField::IP, ParameterField::Pct,
                                                       ParameterField::L, ParameterField::IPL};

const QString errorText = QStringLiteral("ERROR");
const QString dataErrorText = QStringLiteral("DATA ERROR");
const QString calculatePrompt = QStringLiteral("Must Click Calculate to get string --->");

template <typename T>
T* control(const QHash<QString, QWidget*>& controls, const char* name) {
    auto* widget = qobject_cast<T*>(controls.value(QString::fromLatin1(name)));
    Q_ASSERT(widget != nullptr);
    return widget;
}

}  // namespace

frmMain::frmMain() : frmMain(std::make_unique<Session>()) {}

frmMain::frmMain(Session& session) : session_(session) {
    build();
}

frmMain::frmMain(std::unique_ptr<Session> own)
    : ownSession_(std::move(own)), session_(*ownSession_) {
    build();
}

void frmMain::build() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Velkor RVX String Calculator"));
    // The menu bar lies above the client area, which keeps its size and every control its place
    // in it; the send strip lies below.
    buildMenuBar();
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, ui::twips(clientWidth), menuHeight);
    clientArea = new QWidget(this);
    clientArea->setObjectName(QStringLiteral("clientArea"));
    clientArea->setGeometry(0, menuHeight, ui::twips(clientWidth), ui::twips(clientHeight));
    setFixedSize(ui::twips(clientWidth), menuHeight + ui::twips(clientHeight) + sendStripHeight);

    controls_ = ui::buildControls(this, startRows, clientArea);
    ui::nameForScreenReaders(controls_, spokenNames);
    frmAddr = control<QGroupBox>(controls_, "frmAddr");
    optSM = control<QRadioButton>(controls_, "optSM");
    optGA = control<QRadioButton>(controls_, "optGA");
    txtSM = control<QLineEdit>(controls_, "txtSM");
    txtG = control<QLineEdit>(controls_, "txtG");
    cmdCalc = control<QPushButton>(controls_, "cmdCalc");
    frmMtr = control<QGroupBox>(controls_, "frmMtr");
    optMQR = control<QRadioButton>(controls_, "optMQR");
    optPX40 = control<QRadioButton>(controls_, "optPX40");
    cmdHELP = control<QPushButton>(controls_, "cmdHELP");

    lblSend = new ui::Label(this);
    lblSend->setObjectName(QStringLiteral("lblSend"));
    lblSend->setGeometry(0, menuHeight + ui::twips(clientHeight), ui::twips(clientWidth),
                         sendStripHeight);
    lblSend->setContentsMargins(8, 0, 8, 0);
    lblSend->setTextFormat(Qt::PlainText);
    lblSend->setFrameShape(QFrame::StyledPanel);
    lblSend->setFrameShadow(QFrame::Sunken);
    ui::speakAs(lblSend, ui::Spoken::StatusLine);
    lblSend->setAccessibleDescription(QStringLiteral("Status of sending"));

    // The controls shown at the start reach the views made after the first paint: each of
    // their reactions makes those first, should it come before.
    const auto whenChosen = [this](QRadioButton* option, void (frmMain::*reaction)()) {
        connect(option, &QRadioButton::toggled, this, [this, reaction](bool chosen) {
            if (chosen) {
                completeStart();
                (this->*reaction)();
            }
        });
    };
    whenChosen(optSM, &frmMain::optSM_Click);
    whenChosen(optGA, &frmMain::optGA_Click);
    whenChosen(optMQR, &frmMain::optMQR_Click);
    whenChosen(optPX40, &frmMain::optPX40_Click);
    const auto onEvent = [this](auto* control, auto signal, void (frmMain::*reaction)()) {
        connect(control, signal, this, [this, reaction] {
            completeStart();
            (this->*reaction)();
        });
    };
    onEvent(cmdCalc, &QPushButton::clicked, &frmMain::cmdCalc_Click);
    onEvent(txtSM, &QLineEdit::textChanged, &frmMain::txtSM_Change);
    onEvent(txtG, &QLineEdit::textChanged, &frmMain::txtG_Change);
    connect(cmdHELP, &QPushButton::clicked, this, &frmMain::cmdHELP_Click);

    // The strip tells of this window's own sends; the site window has a strip of its own.
    connect(&sender(), &MotorSender::changed, this, [this](const SendRecord& record) {
        if (record.window == this) {
            showSendStatus(record);
        }
    });
    cmdHELP->setFocus();
}

// The views hidden at the start, made once: their controls in the client area, the whole
// window's tab chain through them, their start texts and their reactions.
void frmMain::buildViews() {
    ui::addControls(controls_, viewRows);
    ui::chainFocus(controls_, controlRows);
    ui::nameForScreenReaders(controls_, spokenNames);
    frmStrings = control<QGroupBox>(controls_, "frmStrings");
    txtUP = control<QLineEdit>(controls_, "txtUP");
    txtDOWN = control<QLineEdit>(controls_, "txtDOWN");
    txtRU = control<QLineEdit>(controls_, "txtRU");
    txtSTOP = control<QLineEdit>(controls_, "txtSTOP");
    txtNIPU = control<QLineEdit>(controls_, "txtNIPU");
    txtNIPD = control<QLineEdit>(controls_, "txtNIPD");
    txtGIP = control<QLineEdit>(controls_, "txtGIP");
    txtIP = control<QLineEdit>(controls_, "txtIP");
    txtGP = control<QLineEdit>(controls_, "txtGP");
    txtPct = control<QLineEdit>(controls_, "txtPct");
    txtJU = control<QLineEdit>(controls_, "txtJU");
    txtMSU = control<QLineEdit>(controls_, "txtMSU");
    txtJD = control<QLineEdit>(controls_, "txtJD");
    txtMSD = control<QLineEdit>(controls_, "txtMSD");
    txtL = control<QLineEdit>(controls_, "txtL");
    txtLU = control<QLineEdit>(controls_, "txtLU");
    txtLD = control<QLineEdit>(controls_, "txtLD");
    txtLC = control<QLineEdit>(controls_, "txtLC");
    txtLIP = control<QLineEdit>(controls_, "txtLIP");
    txtIPL = control<QLineEdit>(controls_, "txtIPL");
    txtUL = control<QLineEdit>(controls_, "txtUL");
    cmdCLEAR = control<QPushButton>(controls_, "cmdCLEAR");
    lblE = control<QLabel>(controls_, "lblE");
    frmC = control<QGroupBox>(controls_, "frmC");
    Combo1 = control<QComboBox>(controls_, "Combo1");
    lblS = control<QLabel>(controls_, "lblS");
    lblSC = control<QLabel>(controls_, "lblSC");
    txtS = control<QLineEdit>(controls_, "txtS");
    lblD = control<QLabel>(controls_, "lblD");
    txtD = control<QLineEdit>(controls_, "txtD");
    lblDD = control<QLabel>(controls_, "lblDD");
    txtDD = control<QLineEdit>(controls_, "txtDD");
    cmdCALCS = control<QPushButton>(controls_, "cmdCALCS");
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        const auto& command = rvx::commandCatalogue[row];
        outputFields[row] = control<QLineEdit>(controls_, std::string(command.outputField).c_str());
        outputFields[row]->setAccessibleName(fromView(command.name) + QStringLiteral(" string"));
    }
    for (const auto& info : rvx::parameterCatalogue) {
        parameterFields[static_cast<std::size_t>(info.field)] =
            control<QLineEdit>(controls_, std::string(info.fieldName).c_str());
    }
    // The status labels of the chooser wrap their longer texts onto a second line.
    lblS->setWordWrap(true);
    // The status lines are read out by their text; what they are is their description.
    ui::speakAs(lblE, ui::Spoken::StatusLine);
    ui::speakAs(lblS, ui::Spoken::StatusLine);
    lblE->setAccessibleDescription(QStringLiteral("Status of All Commands"));
    lblS->setAccessibleDescription(QStringLiteral("Status of Choose Command"));
    // The line between the jog and the lock strings is drawn, not read out.
    ui::speakAs(control<QWidget>(controls_, "Line1"), ui::Spoken::Separator);

    Form_Load();

    connect(cmdCALCS, &QPushButton::clicked, this, &frmMain::cmdCALCS_Click);
    connect(cmdCLEAR, &QPushButton::clicked, this, &frmMain::cmdCLEAR_Click);
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            Combo1_Click();
        }
    });
    const auto onChange = [this](QLineEdit* field, void (frmMain::*reaction)()) {
        connect(field, &QLineEdit::textChanged, this, reaction);
    };
    onChange(txtD, &frmMain::txtD_Change);
    onChange(txtDD, &frmMain::txtDD_Change);
    onChange(txtIP, &frmMain::txtIP_Change);
    onChange(txtIPL, &frmMain::txtIPL_Change);
    onChange(txtL, &frmMain::txtL_Change);
    onChange(txtMSD, &frmMain::txtMSD_Change);
    onChange(txtMSU, &frmMain::txtMSU_Change);
    onChange(txtPct, &frmMain::txtPct_Change);
    onChange(txtRU, &frmMain::txtRU_Change);

    // A frame belongs to its field only while the field shows it: any other text, typed or
    // written, leaves the field without one. Each such field has the menu of what can be done
    // with its string.
    std::vector<QLineEdit*> framed(outputFields.begin(), outputFields.end());
    framed.push_back(txtS);
    for (QLineEdit* field : framed) {
        frames_[field] = std::nullopt;
        connect(field, &QLineEdit::textChanged, this, [this, field] {
            if (field != fieldGettingFrame_) {
                frames_[field].reset();
            }
        });
        field->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(field, &QWidget::customContextMenuRequested, this,
                [this, field](const QPoint& at) { showStringMenu(field, at); });
        // Shift+F10 opens the menu as the Menu key does; the send has a key of its own.
        auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), field);
        menuKey->setContext(Qt::WidgetShortcut);
        connect(menuKey, &QShortcut::activated, this,
                [this, field] { showStringMenu(field, QPoint(0, field->height())); });
        auto* sendKey = new QShortcut(sendShortcut(), field);
        sendKey->setContext(Qt::WidgetShortcut);
        connect(sendKey, &QShortcut::activated, this, [this, field] { sendFrom(field); });
    }
}

frmMain::~frmMain() {
    // The site window's sends and watch end before the session they use may go.
    site_.reset();
    sendLog_.reset();
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (site_ && site_->isVisible() && !site_->close()) {
        event->ignore();
        return;
    }
    event->accept();
}

MotorSender& frmMain::sender() const {
    return session_.sender();
}

void frmMain::Form_Load() {
    lblE->setText(QString());
    for (const auto& command : rvx::commandCatalogue) {
        Combo1->addItem(fromView(command.name));
    }
    // QComboBox selects its first entry when filled; the list starts with none selected.
    Combo1->setCurrentIndex(-1);
    pass = 0;
    lblSC->setText(QString());
    lblD->setText(QString());
    lblDD->setText(QString());
}

// ---- Address entry and Calculate ----

void frmMain::optSM_Click() {
    cmdCalc->move(cmdCalc->x(), ui::twips(calcTopSingle));
    cmdCalc->show();
    txtG->hide();
    txtSM->show();
    // A string made for a group address must not stay beside a single motor address.
    txtS->setText(QString());
    emptyOutputs();
    restoreParameterDefaults();
    showDataError(false);
}

void frmMain::optGA_Click() {
    cmdCalc->move(cmdCalc->x(), ui::twips(calcTopGroup));
    cmdCalc->show();
    txtG->show();
    txtSM->hide();
    txtS->setText(QString());
    emptyOutputs();
    restoreStartText(ParameterField::IP);
    txtD->setText(QStringLiteral("1"));
    txtDD->setText(QStringLiteral("1"));
    restoreStartText(ParameterField::Pct);
    restoreStartText(ParameterField::L);
    restoreStartText(ParameterField::IPL);
    showDataError(false);
}

void frmMain::txtSM_Change() {
    addressChanged();
}
void frmMain::txtG_Change() {
    addressChanged();
}

// An address change empties every string made from the old address, the jog strings too.
void frmMain::addressChanged() {
    emptyOutputs();
    restoreParameterDefaults();
    showDataError(false);
    txtS->setText(QString());
    Combo1->setEnabled(false);
}

void frmMain::cmdCalc_Click() {
    clearSendStatus();
    QLineEdit* address = activeAddressField();
    const auto reading = rvx::readAddress(address->text().toStdString());
    if (reading.problem == rvx::AddressProblem::Empty ||
        reading.problem == rvx::AddressProblem::Length) {
        beep();
        address->setText(errorText);
        return;
    }
    const rvx::GenerationOutcome outcome = engine.getAddress();
    if (!outcome.written()) {
        dataError();
        return;
    }
    Combo1->setEnabled(true);

    // The checks judge the values the strings were made from, except after a data error: the
    // four fields then put back to their start values are judged by those.
    rvx::ParameterValues values = outcome.values;
    if (dataErrorShown) {
        restoreParameterDefaults();
        showDataError(false);
        const rvx::ParameterValues start = rvx::startValues();
        for (const ParameterField field : restoredFields) {
            values[static_cast<std::size_t>(field)] = start[static_cast<std::size_t>(field)];
        }
    }

    for (const rvx::RangeCheck& check : rvx::allCommandsChecks) {
        QLineEdit* field = parameterField(check.field);
        const double value = values[static_cast<std::size_t>(check.field)];
        if (std::isnan(value)) {
            dataError();  // a field the generation did not read; a written run reads them all
            return;
        }
        if (!check.accepts(value)) {
            beep();
            // "ER" first: its change reaction empties the output field the message goes in.
            field->setText(QStringLiteral("ER"));
            outputFields[rvx::rowOf(check.reportIn)]->setText(fromView(check.message));
            return;
        }
    }
}

// A text that is no number, an overflow, or an address with a character that is no
// hexadecimal digit. Every string that the failed run may have left is emptied.
void frmMain::dataError() {
    beep();
    showDataError(true);
    emptyOutputs();
    restoreStartText(ParameterField::IP);
    restoreStartText(ParameterField::Pct);
}

// ---- View switch ----

void frmMain::optMQR_Click() {
    frmStrings->show();
    frmC->hide();
}

void frmMain::optPX40_Click() {
    frmStrings->hide();
    frmC->show();
    frmC->move(ui::twips(chooserLeft), frmC->y());
}

// ---- Command chooser ----

void frmMain::Combo1_Click() {
    txtS->show();
    lblS->setText(QString());
    txtD->hide();
    txtDD->hide();
    lblD->setText(QString());
    lblDD->setText(QString());
    cmdCALCS->hide();

    const int picked = Combo1->currentIndex();
    if (picked < 0 || picked >= static_cast<int>(rvx::commandCount)) {
        return;
    }
    const rvx::ChooserEntry& entry = rvx::chooserEntries[static_cast<std::size_t>(picked)];
    const auto asked = entry.asked();
    if (asked.empty()) {
        lblSC->setText(fromView(entry.caption));
        showOutputIn(txtS, rvx::rowOf(entry.command));
        return;
    }
    pass = entry.code;
    txtS->setText(QString());
    lblS->setText(calculatePrompt);
    lblSC->setText(fromView(entry.caption));
    lblD->setText(fromView(asked[0].caption));
    if (asked.size() > 1) {
        lblDD->setText(fromView(asked[1].caption));
    }
    txtD->show();
    txtD->setText(fromView(rvx::parameterInfo(asked[0].target).startText));
    if (asked.size() > 1) {
        txtDD->show();
        txtDD->setText(fromView(rvx::parameterInfo(asked[1].target).startText));
    }
    cmdCALCS->show();
}

// ---- Single command string ----

void frmMain::cmdCALCS_Click() {
    clearSendStatus();
    const auto failed = [this] {
        beep();
        lblS->setText(QStringLiteral("Data Error"));
    };
    lblS->setText(calculatePrompt);
    const rvx::ChooserEntry* entry = rvx::chooserEntryOf(pass);
    if (entry == nullptr) {
        return;
    }

    // Each value is checked in turn; it is copied in its plainest form ("0100" as "100"), so
    // that the field of "All Commands" holds the number that was checked. A value whose
    // plainest form is still longer than that field holds fails like a value out of range.
    const std::array<QLineEdit*, 2> typedIn{txtD, txtDD};
    std::array<QString, 2> plain;
    const auto asked = entry->asked();
    for (std::size_t k = 0; k < asked.size(); ++k) {
        const rvx::ChooserParameter& parameter = asked[k];
        const auto value = rvx::readNumber(typedIn[k]->text().toStdString());
        if (!value) {
            failed();
            return;
        }
        plain[k] = QString::fromStdString(rvx::plainDecimal(*value));
        if (!rvx::isAdmitted(parameter.target, *value) ||
            plain[k].size() > parameterField(parameter.target)->maxLength()) {
            lblS->setText(fromView(parameter.message));
            typedIn[k]->setText(QStringLiteral("ER"));
            beep();
            return;
        }
    }
    // The address is written back upper-cased before the copies: its change reaction puts
    // four parameter fields back to their start values, and must not undo the values that
    // have just passed their checks.
    engine.upperCaseAddress();
    for (std::size_t k = 0; k < asked.size(); ++k) {
        parameterField(asked[k].target)->setText(plain[k]);
    }
    if (engine.getAddress().result == rvx::GenerationOutcome::Result::DataError) {
        failed();
        return;
    }
    showOutputIn(txtS, rvx::rowOf(entry->command));
}

// ---- Parameter change handling: an edit empties the strings made from the old value ----

void frmMain::txtD_Change() {
    txtS->setText(QString());
}
void frmMain::txtDD_Change() {
    txtS->setText(QString());
}
void frmMain::txtIP_Change() {
    emptyOutputsOf(ParameterField::IP);
}
void frmMain::txtIPL_Change() {
    emptyOutputsOf(ParameterField::IPL);
}
void frmMain::txtL_Change() {
    emptyOutputsOf(ParameterField::L);
}
void frmMain::txtMSD_Change() {
    emptyOutputsOf(ParameterField::MSD);
}
void frmMain::txtMSU_Change() {
    emptyOutputsOf(ParameterField::MSU);
}
void frmMain::txtPct_Change() {
    emptyOutputsOf(ParameterField::Pct);
}
void frmMain::txtRU_Change() {
    emptyOutputsOf(ParameterField::RU);
}

void frmMain::emptyOutputsOf(ParameterField field) {
    for (std::size_t row = 0; row < rvx::commandCount; ++row) {
        for (const auto& parameter : rvx::commandCatalogue[row].parameterBytes()) {
            if (parameter.field == field) {
                outputFields[row]->setText(QString());
            }
        }
    }
}

// ---- Clear ----

void frmMain::cmdCLEAR_Click() {
    clearSendStatus();
    emptyOutputs();
    for (const ParameterField field :
         {ParameterField::IP, ParameterField::Pct, ParameterField::L, ParameterField::IPL,
          ParameterField::MSU, ParameterField::MSD, ParameterField::RU}) {
        restoreStartText(field);
    }
    showDataError(false);
}

// ---- Shared steps ----

void frmMain::beep() {
    QApplication::beep();
    emit beeped();
}

// "DATA ERROR" in the status line of "All Commands", or the line emptied. The window keeps
// whether it is shown, so that a later Calculate knows without reading the label back.
void frmMain::showDataError(bool shown) {
    dataErrorShown = shown;
    lblE->setText(shown ? dataErrorText : QString());
}

// Copies an output field of "All Commands" into another field, with its frame.
void frmMain::showOutputIn(QLineEdit* field, std::size_t row) {
    setTextWithFrame(field, outputFields[row]->text(), madeFrameIn(outputFields[row]));
}

void frmMain::setTextWithFrame(QLineEdit* field, const QString& text,
                               const std::optional<rvx::MadeFrame>& frame) {
    // The frame is set first, and the change this text makes keeps it.
    frames_[field] = frame;
    fieldGettingFrame_ = field;
    field->setText(text);
    fieldGettingFrame_ = nullptr;
}

std::optional<rvx::Frame> frmMain::frameIn(const QLineEdit* field) const {
    const auto made = madeFrameIn(field);
    return made ? std::optional<rvx::Frame>(made->bytes) : std::nullopt;
}

std::optional<rvx::MadeFrame> frmMain::madeFrameIn(const QLineEdit* field) const {
    const auto found = frames_.find(field);
    return found == frames_.end() ? std::nullopt : found->second;
}

void frmMain::emptyOutputs() {
    for (QLineEdit* output : outputFields) {
        output->setText(QString());
    }
}

void frmMain::restoreParameterDefaults() {
    for (const ParameterField field : restoredFields) {
        restoreStartText(field);
    }
}

void frmMain::restoreStartText(ParameterField field) {
    parameterField(field)->setText(fromView(rvx::parameterInfo(field).startText));
}

QLineEdit* frmMain::activeAddressField() const {
    return optGA->isChecked() ? txtG : txtSM;
}

QLineEdit* frmMain::parameterField(ParameterField field) const {
    return parameterFields[static_cast<std::size_t>(field)];
}

// ---- Field operations for the engine ----

rvx::AddressKind frmMain::addressKind() const {
    return optGA->isChecked() ? rvx::AddressKind::Group : rvx::AddressKind::Single;
}

std::string frmMain::addressText(rvx::AddressKind field) const {
    return (field == rvx::AddressKind::Group ? txtG : txtSM)->text().toStdString();
}

void frmMain::setAddressText(rvx::AddressKind field, const std::string& text) {
    (field == rvx::AddressKind::Group ? txtG : txtSM)->setText(QString::fromStdString(text));
}

std::string frmMain::parameterText(ParameterField field) const {
    return parameterField(field)->text().toStdString();
}

void frmMain::setOutputText(std::size_t row, const std::string& text, const rvx::MadeFrame* frame) {
    setTextWithFrame(outputFields[row], QString::fromStdString(text),
                     frame != nullptr ? std::optional<rvx::MadeFrame>(*frame) : std::nullopt);
}
