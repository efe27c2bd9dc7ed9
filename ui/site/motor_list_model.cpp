#include "site/motor_list_model.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>
#include <QUndoCommand>
#include <algorithm>
#include <span>

#include "text.h"

using ui::fromView;
using ui::utf8;

namespace {

// The kind's name, one shared text for every row of it.
const QString& kindText(rvx::AddressKind kind) {
    static const std::array<QString, rvx::kindCatalogue.size()> names = [] {
        std::array<QString, rvx::kindCatalogue.size()> texts;
        for (std::size_t k = 0; k < texts.size(); ++k) {
            texts[k] = fromView(rvx::kindCatalogue[k].name);
        }
        return texts;
    }();
    return names[static_cast<std::size_t>(kind)];
}

// The motor with its address bytes read from its text; nullopt when the text is no address.
std::optional<rvx::Motor> withAddress(rvx::Motor motor) {
    const auto reading = rvx::readAddress(motor.addressText);
    if (!reading.ok()) {
        return std::nullopt;
    }
    motor.address = reading.bytes;
    motor.addressText = rvx::addressText(reading.bytes);  // kept in upper case
    return motor;
}

// The rows of a repeated address a message names; the rest are counted.
constexpr std::size_t namedRows = 5;

}  // namespace

// One cell changed; undo puts the old text back.
class CellEdit : public QUndoCommand {
public:
    CellEdit(MotorListModel& model, int row, int column, QString before, QString after)
        : model_(model),
          row_(row),
          column_(column),
          before_(std::move(before)),
          after_(std::move(after)) {
        setText(QStringLiteral("edit of %1")
                    .arg(model.headerData(column, Qt::Horizontal, Qt::DisplayRole)
                             .toString()
                             .toLower()));
    }
    void redo() override { model_.putCell(row_, column_, after_); }
    void undo() override { model_.putCell(row_, column_, before_); }

private:
    MotorListModel& model_;
    int row_;
    int column_;
    QString before_;
    QString after_;
};

// Rows added or deleted, each with the place it has in the list after an addition.
class RowsChange : public QUndoCommand {
public:
    RowsChange(MotorListModel& model, QList<std::pair<int, rvx::Motor>> rows, bool adding)
        : model_(model), rows_(std::move(rows)), adding_(adding) {
        setText(adding ? QStringLiteral("addition") : QStringLiteral("deletion"));
    }
    void redo() override { adding_ ? model_.insertMotors(rows_) : model_.removeMotors(rows_); }
    void undo() override { adding_ ? model_.removeMotors(rows_) : model_.insertMotors(rows_); }

private:
    MotorListModel& model_;
    QList<std::pair<int, rvx::Motor>> rows_;  // by row, ascending
    bool adding_;
};

MotorListModel::MotorListModel(QObject* parent) : QAbstractTableModel(parent) {}

std::string_view MotorListModel::cellText(int row, int column) const {
    const rvx::Motor& motor = motors_[row];
    switch (column) {
        case Label:
            return motor.label;
        case Room:
            return motor.room;
        case Address:
            return motor.addressText;
        case Kind:
            return rvx::kindName(motor.kind);
        case Note:
            return motor.note;
        default:
            break;
    }
    return {};
}

QString MotorListModel::cell(int row, int column) const {
    return column == Kind ? kindText(motors_[row].kind) : fromView(cellText(row, column));
}

int MotorListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(motors_.size());
}

int MotorListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MotorListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(motors_.size())) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return cell(index.row(), index.column());
    }
    if (index.column() == Address && repeated(index.row())) {
        if (role == Qt::ToolTipRole) {
            return repeatedText(index.row());
        }
        if (role == Qt::DecorationRole) {
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        }
    }
    return {};
}

QVariant MotorListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (section) {
        case Label:
            return QStringLiteral("Label");
        case Room:
            return QStringLiteral("Room");
        case Address:
            return QStringLiteral("Address");
        case Kind:
            return QStringLiteral("Kind");
        case Note:
            return QStringLiteral("Note");
        default:
            break;
    }
    return {};
}

Qt::ItemFlags MotorListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? QAbstractTableModel::flags(index) | Qt::ItemIsEditable
                           : Qt::ItemFlags{};
}

QString MotorListModel::addressProblem(const QString& text) {
    const std::string typed = utf8(text);
    const auto reading = rvx::readAddress(typed);
    return reading.ok() ? QString() : fromView(rvx::addressMessage(typed, reading));
}

bool MotorListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole ||
        index.row() >= static_cast<int>(motors_.size())) {
        return false;
    }
    QString text = value.toString();
    if (index.column() == Address) {
        if (const QString problem = addressProblem(text); !problem.isEmpty()) {
            emit refused(problem);
            return false;
        }
        text = text.toUpper();  // six hexadecimal digits, kept in upper case
    } else if (index.column() == Kind) {
        const auto kind = rvx::findKind(utf8(text.trimmed()));
        if (!kind) {
            emit refused(fromView(rvx::kindMessage(utf8(text))));
            return false;
        }
        text = kindText(*kind);
    } else if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        // A motor's line in the site file holds no line break of a label, room or note.
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
    }
    const QString before = cell(index.row(), index.column());
    if (before == text) {
        return true;
    }
    undo_.push(new CellEdit(*this, index.row(), index.column(), before, text));
    return true;
}

void MotorListModel::putCell(int row, int column, const QString& text) {
    rvx::Motor& motor = motors_[row];
    switch (column) {
        case Label:
            motor.label = utf8(text);
            break;
        case Room:
            motor.room = utf8(text);
            break;
        case Address:
            // Only a right address is put in a cell (setData judged it).
            motor.addressText = utf8(text);
            motor.address = rvx::readAddress(motor.addressText).bytes;
            break;
        case Kind:
            motor.kind = rvx::findKind(utf8(text)).value_or(rvx::AddressKind::Single);
            break;
        case Note:
            motor.note = utf8(text);
            break;
        default:
            return;
    }
    emit dataChanged(index(row, column), index(row, column));
    if (column == Address || column == Kind) {
        findRepeats(true);
    }
}

int MotorListModel::addMotor(const rvx::Motor& motor) {
    const auto checked = withAddress(motor);
    if (!checked) {
        emit refused(addressProblem(fromView(motor.addressText)));
        return -1;
    }
    const int row = static_cast<int>(motors_.size());
    undo_.push(new RowsChange(*this, {{row, *checked}}, true));
    return row;
}

void MotorListModel::deleteRows(QList<int> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<std::pair<int, rvx::Motor>> deleted;
    for (int row : rows) {
        if (row >= 0 && row < static_cast<int>(motors_.size())) {
            deleted.append({row, motors_[row]});
        }
    }
    if (!deleted.isEmpty()) {
        undo_.push(new RowsChange(*this, deleted, false));
    }
}

void MotorListModel::insertMotors(const QList<std::pair<int, rvx::Motor>>& rows) {
    // Ascending: each row goes to the place it had, the ones before it being back already.
    for (const auto& [row, motor] : rows) {
        beginInsertRows({}, row, row);
        motors_.insert(row, motor);
        endInsertRows();
    }
    findRepeats(true);
}

void MotorListModel::removeMotors(const QList<std::pair<int, rvx::Motor>>& rows) {
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        beginRemoveRows({}, it->first, it->first);
        motors_.removeAt(it->first);
        endRemoveRows();
    }
    findRepeats(true);
}

bool MotorListModel::setMotors(QList<rvx::Motor> motors) {
    for (rvx::Motor& motor : motors) {
        const auto reading = rvx::readAddress(motor.addressText);
        if (!reading.ok()) {
            emit refused(addressProblem(fromView(motor.addressText)));
            return false;
        }
        motor.address = reading.bytes;
        motor.addressText = rvx::addressText(reading.bytes);  // kept in upper case
    }
    beginResetModel();
    motors_ = std::move(motors);
    findRepeats(false);
    endResetModel();
    undo_.clear();
    return true;
}

QString MotorListModel::labelOf(const rvx::Address& address,
                                std::optional<rvx::AddressKind> kind) const {
    for (qsizetype row = 0; row < motors_.size(); ++row) {
        const rvx::Motor& motor = motors_[row];
        if ((!kind || motor.kind == *kind) && motor.address == address) {
            return fromView(motor.label);
        }
    }
    return {};
}

void MotorListModel::findRepeats(bool tell) {
    const std::vector<std::size_t> before = std::move(first_);
    const std::vector<std::size_t> sharedBefore = std::move(shared_);
    first_ = rvx::firstOfAddress(
        std::span<const rvx::Motor>(motors_.constData(), static_cast<std::size_t>(motors_.size())));
    shared_.assign(first_.size(), 0);
    for (const std::size_t first : first_) {
        ++shared_[first];
    }
    if (!tell) {
        return;
    }
    // The rows whose mark changed, told as one span of the Address column.
    const auto markedBefore = [&](std::size_t row) {
        return row < before.size() && sharedBefore[before[row]] > 1;
    };
    std::optional<std::size_t> from;
    std::size_t to = 0;
    for (std::size_t row = 0; row < first_.size(); ++row) {
        if (markedBefore(row) != (shared_[first_[row]] > 1) ||
            (shared_[first_[row]] > 1 &&
             (before[row] != first_[row] || sharedBefore[before[row]] != shared_[first_[row]]))) {
            from = from.value_or(row);
            to = row;
        }
    }
    if (from) {
        emit dataChanged(index(static_cast<int>(*from), Address),
                         index(static_cast<int>(to), Address),
                         {Qt::ToolTipRole, Qt::DecorationRole});
    }
}

bool MotorListModel::repeated(int row) const {
    const auto k = static_cast<std::size_t>(row);
    return row >= 0 && k < first_.size() && shared_[first_[k]] > 1;
}

QString MotorListModel::repeatedText(int row) const {
    if (!repeated(row)) {
        return {};
    }
    const std::size_t first = first_[static_cast<std::size_t>(row)];
    const rvx::Motor& motor = motors_[static_cast<qsizetype>(first)];
    QStringList rows;
    for (std::size_t k = first; k < first_.size() && rows.size() < int{namedRows}; ++k) {
        if (first_[k] == first) {
            const std::string& label = motors_[static_cast<qsizetype>(k)].label;
            rows.append(label.empty()
                            ? QStringLiteral("row %1").arg(k + 1)
                            : QStringLiteral("row %1 \"%2\"").arg(k + 1).arg(fromView(label)));
        }
    }
    const std::size_t count = shared_[first];
    if (count > namedRows) {
        rows.append(QStringLiteral("and %1 more").arg(count - namedRows));
    }
    return QStringLiteral("%1 (%2) is the address of %3 motors: %4")
        .arg(fromView(motor.addressText), kindText(motor.kind))
        .arg(count)
        .arg(rows.join(QStringLiteral(", ")));
}
