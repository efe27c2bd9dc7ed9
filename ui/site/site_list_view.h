// How the site window shows its motor list: the filter and sort between the list and its
// table, and the editor of an address cell that says what the address lacks as it is typed.
#pragma once

#include <QAbstractProxyModel>
#include <QStyledItemDelegate>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class MotorListModel;
class QItemSelection;
class QItemSelectionModel;
class QLabel;

// Keeps the motors that hold the filter text in any column, case ignored, and sorts them by a
// column of the cells as shown (ties, and no sort at all, in list order). A site of a hundred
// thousand motors answers a key at once: the cells are kept case-folded in one text, so that
// a filter is one search through it, and a sort compares those texts themselves. A new filter
// or sort is shown as a reset of the rows shown which keeps the rows selected that are still
// shown, and the current cell; an edit, addition or deletion in the list moves, adds or takes
// away only its own rows.
class SiteFilter : public QAbstractProxyModel {
    Q_OBJECT

public:
    SiteFilter(MotorListModel& motors, QObject* parent);

    void setText(const QString& text);
    // The selection that a filter or a sort keeps.
    void keepSelectionOf(QItemSelectionModel* selection) { selection_ = selection; }

    // column -1: the list order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    [[nodiscard]] int sortColumn() const { return sortColumn_; }

    // The list's rows of a selection in this model, in list order, each once.
    [[nodiscard]] QList<int> sourceRows(const QItemSelection& selection) const;

    [[nodiscard]] QModelIndex index(int row, int column,
                                    const QModelIndex& parent = {}) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex& child) const override;
    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] bool hasChildren(const QModelIndex& parent = {}) const override;
    // Every cell of the list is chosen and edited alike; a heading asks this of every row shown
    // to tell whether its column is chosen.
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    [[nodiscard]] QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    [[nodiscard]] QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;

signals:
    // The rows shown were made anew (a filter or a sort), the selection put back.
    void reshown();

private:
    // The folded text of a motor's row: each column's cell followed by a byte that UTF-8 never
    // holds, so that no text typed is found across two cells.
    [[nodiscard]] std::string foldedRow(int row) const;
    [[nodiscard]] std::string_view rowText(int row) const;
    [[nodiscard]] std::string_view columnText(int row, int column) const;
    [[nodiscard]] bool accepts(int row) const;
    // Whether row a comes before row b in the order shown.
    [[nodiscard]] bool before(int a, int b) const;
    void foldAll();
    void sortOrder();
    void filterRows(bool narrower);
    // Makes the rows shown anew with make, keeping the selection and the current cell.
    template <typename Make>
    void reshow(const Make& make);
    // Where a row goes in a list in the order shown.
    [[nodiscard]] std::size_t placeIn(const std::vector<int>& list, int row) const;
    [[nodiscard]] int shownAt(int row) const;

    void sourceReset();
    void sourceInserted(int first, int last);
    void sourceAboutToRemove(int first, int last);
    void sourceRemoved(int first, int last);
    void sourceChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);

    const MotorListModel& motors_;
    QItemSelectionModel* selection_ = nullptr;
    QString text_;
    std::string needle_;  // the filter text folded, in UTF-8
    int sortColumn_ = -1;
    Qt::SortOrder order_ = Qt::AscendingOrder;
    std::string folded_;                  // the rows' folded texts, one after another
    std::vector<std::uint32_t> starts_;   // where each row's text starts; one more at the end
    std::vector<int> ordered_;            // every row of the list, in the order shown
    std::vector<int> shown_;              // the rows that the filter keeps, in the order shown
    mutable std::vector<int> positions_;  // where each row of the list is shown, -1 nowhere
    mutable bool positionsKnown_ = false;
};

// The editors of the list's cells, named for the tests and screen readers; the address cell's
// says what the address lacks in problem as it is typed. Enter or Tab on an address that is
// not right keeps the editor open with what was typed, and says it is not taken; Esc leaves
// the cell as it was and takes the message away.
class AddressDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    AddressDelegate(QLabel* problem, QObject* parent);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QLabel* problem_;
};
