// The help window: the serial line settings of the bus. A top-level window of its own,
// modeless and without an owner, so the main window stays usable beside it.
#pragma once

#include <QWidget>

class QCloseEvent;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

class frmHELP : public QWidget {
    Q_OBJECT

public:
    frmHELP();

    // The help text as stored with the window: three lines, each ended by CR LF.
    static const QString storedText;

    // Shows the window. When it is not open it is loaded afresh from its stored layout, so
    // whatever was typed into the text before it was closed is gone; when it is open it comes
    // to the front.
    void openWindow();

protected:
    // Closing by "Close" or by the window's close box unloads the window; the object stays.
    void closeEvent(QCloseEvent* event) override;

private:
    void load();
    void Command1_Click();

    QGroupBox* Frame1{};
    QPlainTextEdit* Text1{};
    QPushButton* Command1{};
};
