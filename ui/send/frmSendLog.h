// The sent frames: every send of the run, with its time, target, command, address, frame and
// result, in a small window of its own opened from the menu of a string. The list follows the
// sends as they start and end. It can be copied as text and saved as JSON Lines.
#pragma once

#include <QWidget>

class MotorSender;
class QLabel;
class QPushButton;
class QTableWidget;

class frmSendLog : public QWidget {
    Q_OBJECT

public:
    explicit frmSendLog(const MotorSender& sender);

    // Shows the window, or brings it to the front.
    void openWindow();

    // The sends as text: a heading line, then one line per send, columns separated by tabs.
    [[nodiscard]] QString text() const;
    // The sends as JSON Lines, one object per line (SendRecord::jsonLine).
    [[nodiscard]] QByteArray jsonLines() const;

    // Writes the JSON Lines to path through a temporary file that replaces it only once it is
    // whole: a failed save leaves what was there. false and why, when it failed.
    bool saveTo(const QString& path, QString* problem = nullptr) const;

signals:
    void saved(const QString& path);

private:
    // Writes the row of record number row (from 0), adding rows up to it.
    void showRecord(int row);
    void copyText() const;
    void askWhereToSave();

    const MotorSender& sender_;
    QTableWidget* tblSends{};
    QPushButton* cmdCopy{};
    QPushButton* cmdSave{};
    QPushButton* cmdClose{};
    QLabel* lblSaved{};
};
