#include "site_model.h"

#include <QUndoCommand>
#include <algorithm>

namespace {

QString cellOf(const SiteMotor& motor, int column) {
    switch (column) {
        case MotorListModel::Label:
            return motor.label;
        case MotorListModel::Room:
            return motor.room;
        case MotorListModel::Address:
            return motor.address;
        case MotorListModel::Kind:
            return kindText(motor.kind);
        case MotorListModel::Note:
            return motor.note;
        default:
            break;
    }
    return {};
}

}  // namespace

std::optional<rvx::Address> SiteMotor::bytes() const {
    const auto reading = rvx::readAddress(address.toStdString());
    if (!reading.ok()) {
        return std::nullopt;
    }
    return reading.bytes;
}

QString kindText(rvx::AddressKind kind) {
    const std::string_view name = rvx::kindName(kind);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::optional<rvx::AddressKind> readKind(const QString& text) {
    return rvx::findKind(text.trimmed().toStdString());
}

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
    RowsChange(MotorListModel& model, QList<std::pair<int, SiteMotor>> rows, bool adding)
        : model_(model), rows_(std::move(rows)), adding_(adding) {
        setText(adding ? QStringLiteral("addition") : QStringLiteral("deletion"));
    }
    void redo() override { adding_ ? model_.insertMotors(rows_) : model_.removeMotors(rows_); }
    void undo() override { adding_ ? model_.removeMotors(rows_) : model_.insertMotors(rows_); }

private:
    MotorListModel& model_;
    QList<std::pair<int, SiteMotor>> rows_;  // by row, ascending
    bool adding_;
};

MotorListModel::MotorListModel(QObject* parent) : QAbstractTableModel(parent) {}

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
        return cellOf(motors_[index.row()], index.column());
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
    const std::string typed = text.toStdString();
    const auto reading = rvx::readAddress(typed);
    return reading.ok() ? QString() : QString::fromStdString(rvx::addressMessage(typed, reading));
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
    } else if (index.column() == Kind) {
        const auto kind = readKind(text);
        if (!kind) {
            emit refused(QString::fromStdString(rvx::kindMessage(text.toStdString())));
            return false;
        }
        text = kindText(*kind);
    } else if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        // A motor's line in the site file holds no line break of a label, room or note.
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '))
            .replace(QLatin1Char('\r'), QLatin1Char(' '));
    }
    const QString before = cellOf(motors_[index.row()], index.column());
    if (before == text) {
        return true;
    }
    undo_.push(new CellEdit(*this, index.row(), index.column(), before, text));
    return true;
}

void MotorListModel::putCell(int row, int column, const QString& text) {
    SiteMotor& motor = motors_[row];
    switch (column) {
        case Label:
            motor.label = text;
            break;
        case Room:
            motor.room = text;
            break;
        case Address:
            motor.address = text;
            break;
        case Kind:
            motor.kind = readKind(text).value_or(rvx::AddressKind::Single);
            break;
        case Note:
            motor.note = text;
            break;
        default:
            return;
    }
    emit dataChanged(index(row, column), index(row, column));
}

int MotorListModel::addMotor(const SiteMotor& motor) {
    const int row = static_cast<int>(motors_.size());
    undo_.push(new RowsChange(*this, {{row, motor}}, true));
    return row;
}

void MotorListModel::deleteRows(QList<int> rows) {
    std::ranges::sort(rows);
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<std::pair<int, SiteMotor>> deleted;
    for (int row : rows) {
        if (row >= 0 && row < static_cast<int>(motors_.size())) {
            deleted.append({row, motors_[row]});
        }
    }
    if (!deleted.isEmpty()) {
        undo_.push(new RowsChange(*this, deleted, false));
    }
}

void MotorListModel::insertMotors(const QList<std::pair<int, SiteMotor>>& rows) {
    // Ascending: each row goes to the place it had, the ones before it being back already.
    for (const auto& [row, motor] : rows) {
        beginInsertRows({}, row, row);
        motors_.insert(row, motor);
        endInsertRows();
    }
}

void MotorListModel::removeMotors(const QList<std::pair<int, SiteMotor>>& rows) {
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        beginRemoveRows({}, it->first, it->first);
        motors_.removeAt(it->first);
        endRemoveRows();
    }
}

void MotorListModel::setMotors(const QList<SiteMotor>& motors) {
    beginResetModel();
    motors_ = motors;
    endResetModel();
    undo_.clear();
}

QString MotorListModel::labelOf(const rvx::Address& address,
                                std::optional<rvx::AddressKind> kind) const {
    for (const SiteMotor& motor : motors_) {
        if ((!kind || motor.kind == *kind) && motor.bytes() == address) {
            return motor.label;
        }
    }
    return {};
}
