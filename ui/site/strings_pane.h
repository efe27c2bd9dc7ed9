// The strings pane of the site window: every string of the motors chosen, in the notation
// chosen; Copy all; the saves of the batch's tables; and Export, a platform's file of them.
// The window says what to show and does what is asked. The strings of a motor are made only
// as its row is shown, so that choosing every motor of a large site is answered at once.
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QWidget>

#include "rvx/motor_list.h"
#include "rvx/notation.h"
#include "rvx/site_export.h"
#include "site/site_exports.h"

class QComboBox;
class QListView;
class QMenu;
class QPushButton;

// The strings of the motors chosen, a row per motor: its heading and its fourteen strings.
class SiteStringsModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    // The motors at those rows of the list (in list order); the list is read as rows are shown.
    void show(const QList<rvx::Motor>& list, QList<int> rows, const SiteStrings& strings);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    // The strings of the motor at that row, as the whole text holds them.
    [[nodiscard]] QString motorText(int row) const;
    // Every string of every motor shown, as Copy all puts them on the clipboard.
    [[nodiscard]] QString text() const;

private:
    const QList<rvx::Motor>* list_ = nullptr;
    QList<int> rows_;
    SiteStrings strings_;
};

class SiteStringsPane : public QWidget {
    Q_OBJECT

public:
    explicit SiteStringsPane(QWidget* parent);

    [[nodiscard]] rvx::Notation notation() const;
    void showStrings(const QList<rvx::Motor>& list, QList<int> rows, const SiteStrings& strings);
    [[nodiscard]] QString text() const { return model_->text(); }
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
    SiteStringsModel* model_{};
    QListView* lstStrings{};
    QPushButton* cmdCopyAll{};
    QPushButton* cmdExport{};
    QList<QPushButton*> saveButtons_;  // Save as CSV and JSON
    QMenu* mnuExport{};
};
