// The site window: the motors of a whole site, with what an installer does to each of them.
//
//   - the motor list (MotorListModel under a sort and filter proxy): label, room, address,
//     kind and note, edited in place with undo; the address judged by the engine as it is
//     typed, its problem said beside the list;
//   - the actions on the selected motors (and in a row's menu): Up, Stop, Down, Go to %,
//     Go to IP #, Jog Up/Down and Identify (Jog Up, a pause, Jog Down). The frames are made by
//     the engine and go out through MotorSender, one per motor in list order with the bus
//     gap; Stop sending (Esc) ends a send at once;
//   - the strings pane: every string of the selected motors in the chosen notation, saved as
//     the batch's tables or exported as a platform's file (a Node-RED flow, a Home Assistant
//     package, openHAB things and items) for a port or bridge chosen for the platform;
//   - the bus monitor pane: what a Watcher sees on the chosen connection, each frame named
//     after the motor of its address where the list has it. A frame this window sends while
//     watching gets a row marked as sent, and so does the same frame when the line hands it
//     back. (A serial port is opened by one user at a time: a send to the port being
//     watched is refused as busy; a bridge takes both.)
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QWidget>
#include <optional>

#include "rvx/bus.h"
#include "rvx/catalogue.h"
#include "rvx/made_frame.h"
#include "rvx/notation.h"
#include "rvx/site_export.h"

struct BusConnection;
class MotorListModel;
class MotorSender;
class QAction;
class QComboBox;
class QCloseEvent;
class QLabel;
class QMenu;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;
class QTableWidget;
class QTabWidget;
struct SendRecord;

class frmSite : public QWidget {
    Q_OBJECT

public:
    explicit frmSite(QWidget* parent = nullptr);
    ~frmSite() override;

    // Shows the window, or brings it to the front.
    void openWindow();

    // The site file: the motor list as `rvx-strings --batch` reads it, one motor a line
    // (ADDRESS,KIND,"LABEL",ROOM,NOTE). Opening a file that cannot be read, or has a bad line,
    // says why in a message box and leaves the list as it was; false then.
    bool openSite(const QString& path);
    // Writes the list to path through a temporary file put in place only once whole, so a
    // failed save leaves what was there; false and why (also said in a message box).
    bool saveSiteTo(const QString& path, QString* problem = nullptr);
    // The file's text for the list as it stands.
    [[nodiscard]] QByteArray siteText() const;
    // The file the list was last opened from or saved to; empty for a new site.
    [[nodiscard]] const QString& sitePath() const { return sitePath_; }
    // Whether the list has changes not saved.
    [[nodiscard]] bool modified() const;
    // The site files opened or saved lately, the latest first.
    [[nodiscard]] static QStringList recentSites();

    // The largest site file opened: far above any site, low enough to refuse a file that is
    // no site at once.
    static constexpr qint64 maxSiteBytes = 64 * 1024 * 1024;

    [[nodiscard]] MotorListModel& motors() const { return *model_; }
    [[nodiscard]] MotorSender& sender() const { return *sender_; }

    // The pause of Identify between Jog Up and Jog Down.
    static constexpr int identifyPauseMs = 600;

    // The rows of the list (model rows) that are selected, in list order.
    [[nodiscard]] QList<int> selectedRows() const;
    // The frames a command gives the selected motors, in list order.
    [[nodiscard]] QList<rvx::MadeFrame> framesFor(rvx::CommandId command) const;

    // The strings pane's text, as Copy all puts it on the clipboard.
    [[nodiscard]] QString stringsText() const;

    // The strings of the selected motors as `rvx-strings --batch` writes them (csv or json),
    // in the notation chosen, with the Go to % and IP numbers of the window; written by the
    // batch's own table writer. false and why when it could not be made or saved.
    [[nodiscard]] std::optional<QByteArray> exportTable(bool json,
                                                        QString* problem = nullptr) const;
    bool exportTo(const QString& path, bool json, QString* problem = nullptr) const;

    // The selected motors as a platform's file, as `rvx-strings --batch --export` makes it for
    // the saved site: the frames sent to the connection's port (at its line) or bridge, with
    // the Go to % and IP numbers of the window and the notation chosen beside the bytes.
    // nullopt and why when a selected motor has no right address, none is selected, or the
    // platform cannot reach the target.
    [[nodiscard]] std::optional<QByteArray> platformFile(rvx::SiteExportKind kind,
                                                         const BusConnection& connection,
                                                         QString* problem = nullptr) const;
    // Writes it whole to path, or leaves the file as it was; false and why.
    bool savePlatformFile(const QString& path, rvx::SiteExportKind kind,
                          const BusConnection& connection, QString* problem = nullptr) const;

    // The monitor's rows as JSON Lines, in the keys rvx-strings --monitor --format json uses,
    // and "label" and "sent" where they apply.
    [[nodiscard]] QByteArray monitorJsonLines() const;
    // Writes them through a temporary file that replaces path only once whole.
    bool saveMonitorTo(const QString& path, QString* problem = nullptr) const;

signals:
    // A row was added to the monitor pane.
    void monitorRowAdded(int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenuBar();
    void askToOpen();
    bool save();
    bool saveAs();
    void rememberSite(const QString& path);
    void fillRecentMenu();
    void showTitle();
    void tell(const QString& objectName, const QString& text, const QString& detail);
    void buildList();
    void buildActions();
    void buildPanes();
    void addMotor();
    void deleteSelected();
    void sendCommand(rvx::CommandId command);
    void identify();
    void stopSending();
    void showSendState(const SendRecord& record);
    void updateActions();
    void updateStrings();
    void showRowMenu(const QPoint& at);
    void toggleWatching();
    void togglePause();
    void clearMonitor();
    void saveMonitor();
    void askWhereToExport(bool json);
    // Asks where the platform sends the frames, then where the file goes, and writes it.
    void exportForPlatform(rvx::SiteExportKind kind);
    void received(const rvx::bus::Received& run);
    // A frame that arrived, or that this window sent while watching (sentHere).
    void addMonitorRow(const rvx::bus::Received& run, bool sentHere);
    void frameLeft(const SendRecord& record);

    struct MonitorRow {
        rvx::bus::Received run;
        QString label;
        bool sent = false;
    };

    MotorListModel* model_{};
    QSortFilterProxyModel* proxy_{};
    MotorSender* sender_{};
    rvx::bus::Watcher watcher_;

    QLineEdit* txtFilter{};
    QTableView* tblMotors{};
    QLabel* lblProblem{};
    QPushButton* cmdAdd{};
    QPushButton* cmdDelete{};
    QList<QPushButton*> commandButtons_;  // every button that sends
    QSpinBox* spnPct{};
    QSpinBox* spnIP{};
    QPushButton* cmdIdentify{};
    QPushButton* cmdStopSending{};
    QAction* actStopSending{};
    QLabel* lblSend{};
    QTabWidget* tabPanes{};
    QComboBox* cboNotation{};
    QPlainTextEdit* txtStrings{};
    QPushButton* cmdCopyAll{};
    QPushButton* cmdExport{};
    QMenu* mnuExport{};  // a platform's file of the selected motors; in the File menu as well
    QPushButton* cmdWatch{};
    QPushButton* cmdPause{};
    QPushButton* cmdClearMonitor{};
    QPushButton* cmdSaveMonitor{};
    QTableWidget* tblMonitor{};
    QLabel* lblMonitor{};

    QString sitePath_;
    QMenu* mnuRecent{};
    QList<MonitorRow> monitorRows_;
    // What arrived or was sent while the monitor was paused, and whether it was sent here.
    QList<std::pair<rvx::bus::Received, bool>> heldBack_;
    bool paused_ = false;
    // Frames this window sent, not yet seen on the bus: their bytes and when they left.
    QList<std::pair<QByteArray, QDateTime>> sentFrames_;
};
