#include "main/frmHELP.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "controls.h"

namespace {

using ui::Align;
using ui::FontStyle;
using ui::Kind;
using ui::StartState;

// clang-format off
constexpr ui::ControlRow controlRows[] = {
    // name      kind                  caption  container  left top  width height tab state               max font                align
    {"Frame1",   Kind::Frame,          "Help",  "frmHELP", 240, 240, 6135, 3135,  0, StartState::Shown, 0, FontStyle::Default, Align::Left},
    {"Text1",    Kind::MultiLineField, "",      "Frame1",  240, 360, 4215, 1335,  1, StartState::Shown, 0, FontStyle::Default, Align::Left},
    {"Command1", Kind::Button,         "Close", "Frame1",  240, 2280, 1095, 495,  2, StartState::Shown, 0, FontStyle::Default, Align::Left},
};
// clang-format on

constexpr std::pair<const char*, const char*> spokenNames[] = {
    {"Text1", "Serial line settings"},
    {"Command1", "Close help"},
};

// The layout reaches 6375 x 3375 twips; the window keeps the frame's margin beyond it.
constexpr int clientWidth = 6375 + 240;
constexpr int clientHeight = 3375 + 240;

}  // namespace

const QString frmHELP::storedText = QStringLiteral("4800 Baud\r\n1 Start Bit\r\nODD Parity\r\n");

frmHELP::frmHELP() {
    setObjectName(QStringLiteral("frmHELP"));
    setWindowTitle(QStringLiteral("Help"));
    setWindowIcon(ui::applicationIcon());
    setFixedSize(ui::twips(clientWidth), ui::twips(clientHeight));

    const auto controls = ui::buildControls(this, controlRows);
    ui::nameForScreenReaders(controls, spokenNames);
    Frame1 = qobject_cast<QGroupBox*>(controls.value(QStringLiteral("Frame1")));
    Text1 = qobject_cast<QPlainTextEdit*>(controls.value(QStringLiteral("Text1")));
    Command1 = qobject_cast<QPushButton*>(controls.value(QStringLiteral("Command1")));
    connect(Command1, &QPushButton::clicked, this, &frmHELP::Command1_Click);
    load();
}

void frmHELP::openWindow() {
    if (!isVisible()) {
        load();
        show();
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void frmHELP::load() {
    // Line ends are shown as line breaks.
    Text1->setPlainText(QString(storedText).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Text1->setFocus();
}

void frmHELP::closeEvent(QCloseEvent* event) {
    event->accept();
}

void frmHELP::Command1_Click() {
    close();
}
