#include "site/site_list_view.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <numeric>

#include "site/motor_list_model.h"
#include "text.h"

namespace {

// Ends each cell of a row's folded text: a byte no UTF-8 text holds.
constexpr char cellEnd = '\xFF';

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void appendFolded(std::string& out, std::string_view text) {
    if (isAscii(text)) {
        for (const char c : text) {
            out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        return;
    }
    const QByteArray folded = ui::fromView(text).toCaseFolded().toUtf8();
    out.append(folded.constData(), static_cast<std::size_t>(folded.size()));
}

}  // namespace

SiteFilter::SiteFilter(MotorListModel& motors, QObject* parent)
    : QAbstractProxyModel(parent), motors_(motors) {
    QAbstractProxyModel::setSourceModel(&motors);
    connect(&motors, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&motors, &QAbstractItemModel::modelReset, this, &SiteFilter::sourceReset);
    connect(&motors, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { sourceInserted(first, last); });
    connect(&motors, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { sourceAboutToRemove(first, last); });
    connect(&motors, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { sourceRemoved(first, last); });
    connect(&motors, &QAbstractItemModel::dataChanged, this, &SiteFilter::sourceChanged);
    foldAll();
    sortOrder();
    filterRows(false);
}

// ---- The folded texts ----

std::string SiteFilter::foldedRow(int row) const {
    std::string text;
    for (int column = 0; column < MotorListModel::ColumnCount; ++column) {
        appendFolded(text, motors_.cellText(row, column));
        text += cellEnd;
    }
    return text;
}

std::string_view SiteFilter::rowText(int row) const {
    const auto at = static_cast<std::size_t>(row);
    return std::string_view(folded_).substr(starts_[at], starts_[at + 1] - starts_[at]);
}

std::string_view SiteFilter::columnText(int row, int column) const {
    std::string_view text = rowText(row);
    for (int k = 0; k < column; ++k) {
        text.remove_prefix(text.find(cellEnd) + 1);
    }
    return text.substr(0, text.find(cellEnd));
}

void SiteFilter::foldAll() {
    const int rows = motors_.rowCount();
    folded_.clear();
    starts_.assign(1, 0);
    starts_.reserve(static_cast<std::size_t>(rows) + 1);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < MotorListModel::ColumnCount; ++column) {
            appendFolded(folded_, motors_.cellText(row, column));
            folded_ += cellEnd;
        }
        starts_.push_back(static_cast<std::uint32_t>(folded_.size()));
    }
}

bool SiteFilter::accepts(int row) const {
    return needle_.empty() || rowText(row).find(needle_) != std::string_view::npos;
}

// ---- Filter and sort ----

bool SiteFilter::before(int a, int b) const {
    if (sortColumn_ >= 0) {
        const std::string_view left = columnText(a, sortColumn_);
        const std::string_view right = columnText(b, sortColumn_);
        if (left != right) {
            return order_ == Qt::AscendingOrder ? left < right : right < left;
        }
    }
    return a < b;
}

void SiteFilter::sortOrder() {
    const auto rows = static_cast<std::size_t>(motors_.rowCount());
    ordered_.resize(rows);
    std::iota(ordered_.begin(), ordered_.end(), 0);
    if (sortColumn_ < 0) {
        return;
    }
    std::vector<std::pair<std::string_view, int>> keys;
    keys.reserve(rows);
    for (const int row : ordered_) {
        keys.emplace_back(columnText(row, sortColumn_), row);
    }
    const bool ascending = order_ == Qt::AscendingOrder;
    std::sort(keys.begin(), keys.end(), [ascending](const auto& a, const auto& b) {
        if (a.first != b.first) {
            return ascending ? a.first < b.first : b.first < a.first;
        }
        return a.second < b.second;
    });
    for (std::size_t k = 0; k < rows; ++k) {
        ordered_[k] = keys[k].second;
    }
}

void SiteFilter::filterRows(bool narrower) {
    positionsKnown_ = false;
    if (needle_.empty()) {
        shown_ = ordered_;
        return;
    }
    std::vector<int> kept;
    if (narrower) {
        // A text that holds the one before keeps some of the rows that one kept.
        for (const int row : shown_) {
            if (accepts(row)) {
                kept.push_back(row);
            }
        }
    } else if (sortColumn_ < 0) {
        // In list order the rows are one text: one search through it.
        const std::string_view all(folded_);
        std::size_t from = 0;
        std::size_t row = 0;
        for (std::size_t at = all.find(needle_); at != std::string_view::npos;
             at = all.find(needle_, from)) {
            while (starts_[row + 1] <= at) {
                ++row;
            }
            kept.push_back(static_cast<int>(row));
            from = starts_[row + 1];
        }
    } else {
        for (const int row : ordered_) {
            if (accepts(row)) {
                kept.push_back(row);
            }
        }
    }
    shown_ = std::move(kept);
}

template <typename Make>
void SiteFilter::reshow(const Make& make) {
    // The selection and the current cell, as rows of the list.
    std::vector<char> chosen;
    int currentRow = -1;
    int currentColumn = 0;
    if (selection_ != nullptr && selection_->model() == this) {
        if (selection_->hasSelection()) {
            chosen.assign(static_cast<std::size_t>(motors_.rowCount()), 0);
            for (const QItemSelectionRange& range : selection_->selection()) {
                for (int row = range.top(); row <= range.bottom(); ++row) {
                    chosen[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])] = 1;
                }
            }
        }
        if (const QModelIndex current = selection_->currentIndex(); current.isValid()) {
            currentRow = shown_[static_cast<std::size_t>(current.row())];
            currentColumn = current.column();
        }
    }
    beginResetModel();
    make();
    endResetModel();
    if (selection_ != nullptr && selection_->model() == this) {
        QItemSelection selection;
        const int rows = static_cast<int>(shown_.size());
        for (int at = 0; !chosen.empty() && at < rows;) {
            if (chosen[static_cast<std::size_t>(shown_[static_cast<std::size_t>(at)])] == 0) {
                ++at;
                continue;
            }
            const int top = at;
            while (at < rows &&
                   chosen[static_cast<std::size_t>(shown_[static_cast<std::size_t>(at)])] != 0) {
                ++at;
            }
            selection.append(
                QItemSelectionRange(index(top, 0), index(at - 1, MotorListModel::ColumnCount - 1)));
        }
        if (!selection.isEmpty()) {
            selection_->select(selection, QItemSelectionModel::Select);
        }
        if (currentRow >= 0) {
            if (const int at = shownAt(currentRow); at >= 0) {
                selection_->setCurrentIndex(index(at, currentColumn),
                                            QItemSelectionModel::NoUpdate);
            }
        }
    }
    emit reshown();
}

void SiteFilter::setText(const QString& text) {
    const QByteArray folded = text.toCaseFolded().toUtf8();
    std::string needle(folded.constData(), static_cast<std::size_t>(folded.size()));
    text_ = text;
    if (needle == needle_) {
        return;
    }
    const bool narrower = !needle_.empty() && needle.find(needle_) != std::string::npos;
    needle_ = std::move(needle);
    reshow([this, narrower] { filterRows(narrower); });
}

void SiteFilter::sort(int column, Qt::SortOrder order) {
    sortColumn_ = column >= 0 && column < MotorListModel::ColumnCount ? column : -1;
    order_ = order;
    reshow([this] {
        sortOrder();
        filterRows(false);
    });
}

QList<int> SiteFilter::sourceRows(const QItemSelection& selection) const {
    std::vector<char> chosen(static_cast<std::size_t>(motors_.rowCount()), 0);
    for (const QItemSelectionRange& range : selection) {
        if (range.model() != this) {
            continue;
        }
        for (int row = range.top(); row <= range.bottom(); ++row) {
            chosen[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])] = 1;
        }
    }
    QList<int> rows;
    for (std::size_t row = 0; row < chosen.size(); ++row) {
        if (chosen[row] != 0) {
            rows.append(static_cast<int>(row));
        }
    }
    return rows;
}

// ---- The model ----

QModelIndex SiteFilter::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 ||
        column >= MotorListModel::ColumnCount) {
        return {};
    }
    return createIndex(row, column);
}

QModelIndex SiteFilter::parent(const QModelIndex& /*child*/) const {
    return {};
}

int SiteFilter::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int SiteFilter::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : MotorListModel::ColumnCount;
}

bool SiteFilter::hasChildren(const QModelIndex& parent) const {
    return !parent.isValid() && !shown_.empty();
}

Qt::ItemFlags SiteFilter::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                                 Qt::ItemNeverHasChildren
                           : Qt::ItemFlags{};
}

QModelIndex SiteFilter::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || proxyIndex.model() != this || proxyIndex.row() >= rowCount()) {
        return {};
    }
    return motors_.index(shown_[static_cast<std::size_t>(proxyIndex.row())], proxyIndex.column());
}

QModelIndex SiteFilter::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || sourceIndex.model() != &motors_) {
        return {};
    }
    const int at = shownAt(sourceIndex.row());
    return at < 0 ? QModelIndex() : index(at, sourceIndex.column());
}

int SiteFilter::shownAt(int row) const {
    if (!positionsKnown_) {
        positions_.assign(static_cast<std::size_t>(motors_.rowCount()), -1);
        for (std::size_t at = 0; at < shown_.size(); ++at) {
            positions_[static_cast<std::size_t>(shown_[at])] = static_cast<int>(at);
        }
        positionsKnown_ = true;
    }
    return row >= 0 && row < static_cast<int>(positions_.size())
               ? positions_[static_cast<std::size_t>(row)]
               : -1;
}

std::size_t SiteFilter::placeIn(const std::vector<int>& list, int row) const {
    return static_cast<std::size_t>(
        std::lower_bound(list.begin(), list.end(), row,
                         [this](int a, int b) { return before(a, b); }) -
        list.begin());
}

// ---- Changes in the list ----

void SiteFilter::sourceReset() {
    foldAll();
    sortOrder();
    filterRows(false);
    endResetModel();
    emit reshown();
}

void SiteFilter::sourceInserted(int first, int last) {
    const int count = last - first + 1;
    std::string added;
    std::vector<std::uint32_t> starts;
    const std::uint32_t start = starts_[static_cast<std::size_t>(first)];
    for (int row = first; row <= last; ++row) {
        starts.push_back(start + static_cast<std::uint32_t>(added.size()));
        added += foldedRow(row);
    }
    folded_.insert(start, added);
    for (auto it = starts_.begin() + first; it != starts_.end(); ++it) {
        *it += static_cast<std::uint32_t>(added.size());
    }
    starts_.insert(starts_.begin() + first, starts.begin(), starts.end());
    for (std::vector<int>* list : {&ordered_, &shown_}) {
        for (int& row : *list) {
            if (row >= first) {
                row += count;
            }
        }
    }
    positionsKnown_ = false;
    for (int row = first; row <= last; ++row) {
        ordered_.insert(ordered_.begin() + static_cast<std::ptrdiff_t>(placeIn(ordered_, row)),
                        row);
        if (accepts(row)) {
            const auto at = static_cast<int>(placeIn(shown_, row));
            beginInsertRows({}, at, at);
            shown_.insert(shown_.begin() + at, row);
            positionsKnown_ = false;
            endInsertRows();
        }
    }
}

void SiteFilter::sourceAboutToRemove(int first, int last) {
    std::vector<int> gone;  // where the rows are shown, ascending
    for (std::size_t at = 0; at < shown_.size(); ++at) {
        if (shown_[at] >= first && shown_[at] <= last) {
            gone.push_back(static_cast<int>(at));
        }
    }
    // From the end, a run of neighbours at a time.
    while (!gone.empty()) {
        const int end = gone.back();
        int top = end;
        gone.pop_back();
        while (!gone.empty() && gone.back() == top - 1) {
            top = gone.back();
            gone.pop_back();
        }
        beginRemoveRows({}, top, end);
        shown_.erase(shown_.begin() + top, shown_.begin() + end + 1);
        positionsKnown_ = false;
        endRemoveRows();
    }
}

void SiteFilter::sourceRemoved(int first, int last) {
    const int count = last - first + 1;
    const auto from = static_cast<std::size_t>(first);
    const auto to = static_cast<std::size_t>(last) + 1;
    const std::uint32_t length = starts_[to] - starts_[from];
    folded_.erase(starts_[from], length);
    starts_.erase(starts_.begin() + first, starts_.begin() + last + 1);
    for (auto it = starts_.begin() + first; it != starts_.end(); ++it) {
        *it -= length;
    }
    std::erase_if(ordered_, [first, last](int row) { return row >= first && row <= last; });
    for (std::vector<int>* list : {&ordered_, &shown_}) {
        for (int& row : *list) {
            if (row > last) {
                row -= count;
            }
        }
    }
    positionsKnown_ = false;
}

void SiteFilter::sourceChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight) {
    if (!topLeft.isValid() || !bottomRight.isValid()) {
        return;
    }
    const bool moves = sortColumn_ >= topLeft.column() && sortColumn_ <= bottomRight.column();
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        const std::string text = foldedRow(row);
        const std::uint32_t before = starts_[at + 1] - starts_[at];
        folded_.replace(starts_[at], before, text);
        const auto after = static_cast<std::uint32_t>(text.size());
        if (after != before) {
            for (std::size_t k = at + 1; k < starts_.size(); ++k) {
                starts_[k] = starts_[k] + after - before;
            }
        }
        if (moves) {
            ordered_.erase(std::find(ordered_.begin(), ordered_.end(), row));
            ordered_.insert(ordered_.begin() + static_cast<std::ptrdiff_t>(placeIn(ordered_, row)),
                            row);
        }
        int shownRow = shownAt(row);
        const bool keep = accepts(row);
        if (shownRow >= 0 && !keep) {
            beginRemoveRows({}, shownRow, shownRow);
            shown_.erase(shown_.begin() + shownRow);
            positionsKnown_ = false;
            endRemoveRows();
            continue;
        }
        if (shownRow < 0 && keep) {
            shownRow = static_cast<int>(placeIn(shown_, row));
            beginInsertRows({}, shownRow, shownRow);
            shown_.insert(shown_.begin() + shownRow, row);
            positionsKnown_ = false;
            endInsertRows();
        } else if (shownRow >= 0 && moves) {
            // Where the row belongs among the others.
            shown_.erase(shown_.begin() + shownRow);
            const auto place = static_cast<int>(placeIn(shown_, row));
            shown_.insert(shown_.begin() + shownRow, row);
            if (place != shownRow) {
                beginMoveRows({}, shownRow, shownRow, {}, place > shownRow ? place + 1 : place);
                shown_.erase(shown_.begin() + shownRow);
                shown_.insert(shown_.begin() + place, row);
                positionsKnown_ = false;
                endMoveRows();
                shownRow = place;
            }
        }
        if (shownRow >= 0) {
            emit dataChanged(index(shownRow, topLeft.column()),
                             index(shownRow, bottomRight.column()));
        }
    }
}

AddressDelegate::AddressDelegate(QLabel* problem, QObject* parent)
    : QStyledItemDelegate(parent), problem_(problem) {
    connect(this, &QAbstractItemDelegate::closeEditor, problem_,
            [label = problem_](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                // An address edit given up leaves nothing to say of it.
                if (hint == QAbstractItemDelegate::RevertModelCache &&
                    editor->objectName() == QLatin1String("txtAddressCell")) {
                    label->clear();
                }
            });
}

bool AddressDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(object);
    if (field != nullptr && field->objectName() == QLatin1String("txtAddressCell") &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool ends = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab ||
                          key == Qt::Key_Backtab;
        if (const QString problem = MotorListModel::addressProblem(field->text());
            ends && !problem.isEmpty()) {
            problem_->setText(problem + QStringLiteral("; not taken"));
            QApplication::beep();
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

QWidget* AddressDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    editor->setObjectName(QStringLiteral("txtCell"));
    if (auto* field = qobject_cast<QLineEdit*>(editor);
        field != nullptr && index.column() == MotorListModel::Address) {
        field->setObjectName(QStringLiteral("txtAddressCell"));
        connect(field, &QLineEdit::textEdited, problem_, [label = problem_](const QString& t) {
            label->setText(MotorListModel::addressProblem(t));
        });
    }
    return editor;
}
