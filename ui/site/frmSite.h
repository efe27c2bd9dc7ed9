// The site window: the motors of a whole site, with what an installer does to each of them.
// It lays out the widgets and wires their reactions; its parts do the work:
//
//   - SiteDocument (site_document.h): the motor list (MotorListModel, with undo), the site
//     file, the recent sites. The list is shown through SiteFilter (site_list_view.h), which
//     filters and sorts it, and edited in place, the address judged by the engine as typed;
//   - the actions on the selected motors (and in a row's menu): Up, Stop, Down, Go to %,
//     Go to IP #, Jog Up/Down and Identify (Jog Up, a pause, Jog Down). The engine makes the
//     frames; the session's one MotorSender sends them, one per motor in list order with the
//     bus gap; Stop sending (Esc) ends a send at once;
//   - the strings pane (strings_pane.h): every string of the selected motors in the chosen
//     notation, saved as the batch's tables or exported as a platform's file for a port or
//     bridge chosen for the platform (site_exports.h);
//   - the bus monitor pane (monitor_pane.h): a SiteMonitor (site_monitor.h) on the chosen
//     connection. While it watches, the program's sends to the same port go out through its
//     connection, and it marks them as sent.
//
// Closing the window stops its sends and its watch, which lets the port go.
#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QWidget>
#include <chrono>

#include "rvx/catalogue.h"
#include "rvx/made_frame.h"
#include "rvx/motor_list.h"
#include "rvx/send_steps.h"
#include "rvx/site_export.h"
#include "send/motor_sender.h"
#include "site/site_exports.h"

struct BusConnection;
class MotorSender;
class ParameterBox;
class QAction;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableView;
class QWidget;
class Session;
class SiteDocument;
class SiteFilter;
class SiteMonitor;
class SiteStringsPane;

class frmSite : public QWidget {
    Q_OBJECT

public:
    explicit frmSite(Session& session, QWidget* parent = nullptr);
    ~frmSite() override;

    // Shows the window, or brings it to the front.
    void openWindow();

    [[nodiscard]] SiteDocument& document() const { return *document_; }
    [[nodiscard]] SiteMonitor& monitor() const { return *monitor_; }
    [[nodiscard]] MotorSender& sender() const;

    // Opens a site file; one that cannot be read, or has a bad line, is refused in a message
    // box that says why, and the list stays as it was: false then.
    bool openSite(const QString& path);
    // Saves the site to path; a failed save leaves the file as it was and says why (also in a
    // message box): false then.
    bool saveSiteTo(const QString& path, QString* problem = nullptr);

    // The pause of Identify between Jog Up and Jog Down.
    static constexpr int identifyPauseMs = static_cast<int>(rvx::identifyPause.count());

    // The rows of the list (model rows) that are selected, in list order, and their motors.
    [[nodiscard]] QList<int> selectedRows() const;
    [[nodiscard]] QList<rvx::Motor> selectedMotors() const;
    // The values and the notation the window sends and writes the strings with.
    [[nodiscard]] SiteStrings siteStrings() const;
    // The frames a command gives the selected motors, in list order.
    [[nodiscard]] QList<rvx::MadeFrame> framesFor(rvx::CommandId command) const;

    // The strings pane's text, as Copy all puts it on the clipboard.
    [[nodiscard]] QString stringsText() const;
    // The strings of the selected motors as `rvx-strings --batch` writes them (csv or json).
    [[nodiscard]] QByteArray exportTable(bool json) const;
    bool exportTo(const QString& path, bool json, QString* problem = nullptr) const;
    // The selected motors as a platform's file, as `rvx-strings --batch --export` makes it for
    // the saved site; nullopt and why when none is selected or the platform cannot reach the
    // target.
    [[nodiscard]] std::optional<QByteArray> platformFile(rvx::SiteExportKind kind,
                                                         const BusConnection& connection,
                                                         QString* problem = nullptr) const;
    // Writes it whole to path, or leaves the file as it was; false and why.
    bool savePlatformFile(const QString& path, rvx::SiteExportKind kind,
                          const BusConnection& connection, QString* problem = nullptr) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Keeps the window, with its frame, inside the screen's free area.
    void fitOnScreen();
    QMenuBar* buildMenuBar();
    QWidget* buildAddStrip();
    void buildList();
    QWidget* buildActions();
    void buildPanes();
    void askToOpen();
    // Asks what becomes of changes not saved before the site goes: true when it may go (they
    // were saved, or dropped, or there were none). closing: the window is closing, not
    // making a new site.
    bool changesMayGo(bool closing);
    void newSite();
    bool save();
    bool saveAs();
    // Asks where a file goes; empty when the user does not say.
    QString askWhereToSave(const QString& title, const QString& start, const QString& filter,
                           const QString& suffix);
    void fillRecentMenu();
    void showTitle();
    void tell(const QString& objectName, const QString& text, const QString& detail);
    void addMotor();
    void deleteSelected();
    // Takes away the message of an edit not taken: always, or when its motor is no longer
    // chosen.
    void forgetRefusal(bool always);
    void sendCommand(rvx::CommandId command);
    void identify();
    void stopSending();
    // The frames of a command for the selected motors, with their labels, in list order.
    [[nodiscard]] SendStep stepFor(rvx::CommandId command,
                                   std::chrono::milliseconds pause = {}) const;
    void sendSteps(const QList<SendStep>& steps);
    // What a stopped send did: how many motors each command reached, and which it did not.
    [[nodiscard]] QString stoppedText() const;
    // Why a command may not be sent with the values typed; empty when it may.
    [[nodiscard]] QString refusal(rvx::CommandId command) const;
    // Why no string may be made with the values typed; empty when every one is admitted.
    [[nodiscard]] QString refusedValues() const;
    void updateActions();
    void showBus();
    void updateStrings();
    void showRowMenu(const QPoint& at);
    void askWhereToExport(bool json);
    // Selects the motor of a frame the monitor shows.
    void selectMotorOf(const rvx::Address& address, std::optional<rvx::AddressKind> kind);
    // Asks where the platform sends the frames, then where the file goes, and writes it.
    void exportForPlatform(rvx::SiteExportKind kind);

    Session& session_;
    SiteDocument* document_{};
    SiteFilter* proxy_{};
    SiteMonitor* monitor_{};

    QLineEdit* txtNewAddress{};
    QComboBox* cboNewKind{};
    QLineEdit* txtNewLabel{};
    QLineEdit* txtNewRoom{};
    QPushButton* cmdAdd{};
    QLineEdit* txtFilter{};
    QTableView* tblMotors{};
    QLabel* lblProblem{};
    QPersistentModelIndex refusedRow_;  // the motor an edit not taken was of
    QPushButton* cmdDelete{};
    QAction* actUndo{};
    QAction* actRedo{};
    QList<QPushButton*> commandButtons_;  // every button that sends
    ParameterBox* spnPct{};
    ParameterBox* spnIP{};
    QPushButton* cmdIdentify{};
    QPushButton* cmdStopSending{};
    QAction* actStopSending{};
    QLabel* lblSend{};
    QLabel* lblBus{};
    QAction* actBusConnection{};
    QTabWidget* tabPanes{};
    SiteStringsPane* strings_{};
    QMenu* mnuRecent{};
    // The send of this window under way, and where its records begin.
    QList<SendStep> sending_;
    qsizetype firstRecord_ = 0;
    bool opened_ = false;  // openWindow was called before
};
