// How the site window shows its motor list: the filter and sort between the list and its
// table, and the editor of an address cell that says what the address lacks as it is typed.
#pragma once

#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>

class MotorListModel;
class QLabel;

// Keeps the motors that hold the filter text in any column, case ignored; sorts by a column
// of the cells as shown. Reads the model's cells themselves rather than each through the
// model's data, so that a key typed in the filter of a large site is answered at once.
class SiteFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    SiteFilter(const MotorListModel& motors, QObject* parent);

    void setText(const QString& text);

protected:
    [[nodiscard]] bool filterAcceptsRow(int row, const QModelIndex& parent) const override;
    [[nodiscard]] bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const MotorListModel& motors_;
    QString text_;
};

// The editors of the list's cells, named for the tests and screen readers; the address cell's
// says what the address lacks in problem as it is typed.
class AddressDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    AddressDelegate(QLabel* problem, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    QLabel* problem_;
};
