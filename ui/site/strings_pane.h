// The strings pane of the site window: every string of the motors chosen, in the notation
// chosen; Copy all; the saves of the batch's tables; and Export, a platform's file of them.
// The window says what to show and does what is asked.
#pragma once

#include <QWidget>

#include "rvx/notation.h"
#include "rvx/site_export.h"

class QComboBox;
class QMenu;
class QPlainTextEdit;
class QPushButton;

class SiteStringsPane : public QWidget {
    Q_OBJECT

public:
    explicit SiteStringsPane(QWidget* parent);

    [[nodiscard]] rvx::Notation notation() const;
    void showStrings(const QString& text);
    // The platforms' files, one entry a platform: in the window's File menu as well.
    [[nodiscard]] QMenu* exportMenu() const { return mnuExport; }
    // Whether there is anything to save or export.
    void setChosen(bool chosen);

signals:
    void notationChanged();
    void saveAsked(bool json);
    void exportAsked(rvx::SiteExportKind kind);

private:
    QComboBox* cboNotation{};
    QPlainTextEdit* txtStrings{};
    QPushButton* cmdCopyAll{};
    QPushButton* cmdExport{};
    QMenu* mnuExport{};
};
