// The main window of the Velkor RVX String Calculator.
//
// How the layers stack:
//   - engine (rvx_engine, no Qt): the command catalogue, the address and number reading, the
//     value rules with their messages, and the generation getAddress/checkSUM with its
//     calculation state. It knows nothing of widgets and answers with outcomes: getAddress says
//     whether it wrote the strings, refused the address or stopped at a data error.
//   - this window: its controls, the value `pass`, and one reaction per control event. It owns
//     the engine object and hands it the field operations the generation needs: which address
//     option is chosen, the address fields, the seven parameter fields of "All Commands" and
//     the fourteen output fields. Every text the engine writes goes through QLineEdit::setText,
//     so the field's own change reaction runs right there, nested in the generation. With each
//     string the engine hands over its frame with its origin (command, address, values read),
//     which the window keeps beside the field for as long as the field shows that string. The
//     engine also says whether those values are ones the frames admit: only such a frame is
//     offered for sending.
//   - the session (ui/session.h): the application's one MotorSender (ui/send/motor_sender.h,
//     over rvx_bus), which sends from the event loop and keeps every send of the run on
//     record, and its connections to the bus, one per port. The strip below the client area
//     (lblSend) says what this window is sending and how it ended.
//   - frmHELP: the help window, created on the first "?" and kept for the run; frmSendLog:
//     the sends of the run, of this window and the site window, opened from the menu of a
//     string; frmSite: the motors of a whole site (ui/site/), opened from the menu bar
//     (Site > Site..., Ctrl+M), which lies above the client area. Both share the session.
#pragma once

#include <QHash>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

#include "rvx/catalogue.h"
#include "rvx/frame.h"
#include "rvx/generator.h"
#include "rvx/made_frame.h"

class QComboBox;
class QGroupBox;
class QKeySequence;
class QLabel;
class QLineEdit;
class QPoint;
class QPushButton;
class QRadioButton;
class frmHELP;
class frmSendLog;
class QCloseEvent;
class frmSite;
class QMenuBar;
class MotorSender;
class Session;
struct SendRecord;

class frmMain : public QWidget, private rvx::CalculationFields {
    Q_OBJECT

public:
    // The program's main window, on the session every window of the run shares.
    explicit frmMain(Session& session);
    // A main window made alone (as the tests make one), with a session of its own.
    frmMain();
    ~frmMain() override;

    // The sender of the session, through which this window and its site window send.
    [[nodiscard]] MotorSender& sender() const;

    // The code of the command with a parameter pending in the "Choose Command" view; 0 for none.
    [[nodiscard]] std::int16_t passCode() const { return pass; }
    // The frame an output field (one of the fourteen, or txtS) shows; nullopt while it shows
    // anything else: nothing, a message, or a text typed over the string.
    [[nodiscard]] std::optional<rvx::Frame> frameIn(const QLineEdit* field) const;
    // The same frame with what it was made from.
    [[nodiscard]] std::optional<rvx::MadeFrame> madeFrameIn(const QLineEdit* field) const;
    // The help window once "?" has been pressed, null before.
    [[nodiscard]] frmHELP* helpWindow() const { return help_.get(); }
    // The window of sent frames once it has been opened, null before.
    [[nodiscard]] frmSendLog* sendLogWindow() const { return sendLog_.get(); }
    // The site window once it has been opened, null before.
    [[nodiscard]] frmSite* siteWindow() const { return site_.get(); }

signals:
    // Sent after every system beep the window sounds.
    void beeped();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the main window (File > Quit, Ctrl+Q) closes the site window with it, which asks
    // first about changes not saved; Cancel there keeps both windows open.
    void closeEvent(QCloseEvent* event) override;

private:
    explicit frmMain(std::unique_ptr<Session> own);
    void build();
    void buildViews();

    // Start-up.
    void Form_Load();

    // Reactions to the controls, named after control and event.
    void optSM_Click();
    void optGA_Click();
    void txtSM_Change();
    void txtG_Change();
    void cmdCalc_Click();
    void optMQR_Click();
    void optPX40_Click();
    void Combo1_Click();
    void cmdCALCS_Click();
    void txtD_Change();
    void txtDD_Change();
    void txtIP_Change();
    void txtIPL_Change();
    void txtL_Change();
    void txtMSD_Change();
    void txtMSU_Change();
    void txtPct_Change();
    void txtRU_Change();
    void cmdCLEAR_Click();
    void cmdHELP_Click();
    void buildMenuBar();
    // What the first paint does not show, made once it is done: the views hidden at the start
    // ("All Commands" and "Choose Command"), the window's icon (drawn from its SVG) and the
    // entries of the menus. Made at once instead when a key, a click or a reaction of the
    // controls shown at the start comes before.
    void completeStart();
    void showSite();

    // Shared steps of the reactions.
    void beep();
    void addressChanged();
    void dataError();
    void emptyOutputs();
    void emptyOutputsOf(rvx::ParameterField field);
    void restoreParameterDefaults();
    void restoreStartText(rvx::ParameterField field);
    void showDataError(bool shown);
    void showOutputIn(QLineEdit* field, std::size_t row);
    void setTextWithFrame(QLineEdit* field, const QString& text,
                          const std::optional<rvx::MadeFrame>& frame);
    void showStringMenu(QLineEdit* field, const QPoint& at);
    void sendFrom(QLineEdit* field);
    void showSendLog();
    [[nodiscard]] static QKeySequence sendShortcut();
    void showSendStatus(const SendRecord& record);
    void clearSendStatus();
    [[nodiscard]] QLineEdit* activeAddressField() const;
    [[nodiscard]] QLineEdit* parameterField(rvx::ParameterField field) const;

    // Field operations for the engine.
    [[nodiscard]] rvx::AddressKind addressKind() const override;
    [[nodiscard]] std::string addressText(rvx::AddressKind field) const override;
    void setAddressText(rvx::AddressKind field, const std::string& text) override;
    [[nodiscard]] std::string parameterText(rvx::ParameterField field) const override;
    void setOutputText(std::size_t row, const std::string& text,
                       const rvx::MadeFrame* frame) override;

    // Controls, under their names.
    QGroupBox* frmAddr{};
    QRadioButton* optSM{};
    QRadioButton* optGA{};
    QLineEdit* txtSM{};
    QLineEdit* txtG{};
    QPushButton* cmdCalc{};
    QGroupBox* frmMtr{};
    QRadioButton* optMQR{};
    QRadioButton* optPX40{};
    QPushButton* cmdHELP{};
    QGroupBox* frmStrings{};
    QLineEdit* txtUP{};
    QLineEdit* txtDOWN{};
    QLineEdit* txtRU{};
    QLineEdit* txtSTOP{};
    QLineEdit* txtNIPU{};
    QLineEdit* txtNIPD{};
    QLineEdit* txtGIP{};
    QLineEdit* txtIP{};
    QLineEdit* txtGP{};
    QLineEdit* txtPct{};
    QLineEdit* txtJU{};
    QLineEdit* txtMSU{};
    QLineEdit* txtJD{};
    QLineEdit* txtMSD{};
    QLineEdit* txtL{};
    QLineEdit* txtLU{};
    QLineEdit* txtLD{};
    QLineEdit* txtLC{};
    QLineEdit* txtLIP{};
    QLineEdit* txtIPL{};
    QLineEdit* txtUL{};
    QPushButton* cmdCLEAR{};
    QLabel* lblE{};
    QGroupBox* frmC{};
    QComboBox* Combo1{};
    QLabel* lblS{};
    QLabel* lblSC{};
    QLineEdit* txtS{};
    QLabel* lblD{};
    QLineEdit* txtD{};
    QLabel* lblDD{};
    QLineEdit* txtDD{};
    QPushButton* cmdCALCS{};
    QLabel* lblSend{};  // the strip below the client area: the state of the latest send

    // The fourteen output fields in catalogue order, the seven parameter fields by kind.
    std::array<QLineEdit*, rvx::commandCount> outputFields{};
    std::array<QLineEdit*, rvx::parameterFieldCount> parameterFields{};

    std::int16_t pass = 0;
    bool dataErrorShown = false;  // "DATA ERROR" stands in lblE
    std::map<const QLineEdit*, std::optional<rvx::MadeFrame>> frames_;
    const QLineEdit* fieldGettingFrame_ = nullptr;  // while setTextWithFrame writes its text
    rvx::CommandStringEngine engine{*this};
    std::unique_ptr<Session> ownSession_;  // a window made alone only
    Session& session_;
    std::unique_ptr<frmHELP> help_;
    std::unique_ptr<frmSendLog> sendLog_;
    std::unique_ptr<frmSite> site_;
    QMenuBar* menuBar{};
    QMenu* fileMenu_{};
    QMenu* siteMenu_{};
    QMenu* helpMenu_{};
    bool started_ = false;
    QWidget* clientArea{};               // below the menu bar: every control of the layout
    QHash<QString, QWidget*> controls_;  // the controls made so far, by name
};
