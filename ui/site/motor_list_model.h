// The motors of a site as the site window lists them: label, room, address, kind and note, one
// row per motor in the order of the site file. The motors are the engine's (rvx::Motor); the
// cells hold them as the table shows them. Every edit, addition and deletion goes through the
// model's undo stack; an address is judged by the engine as it is set, and one that is not
// right is refused with the engine's message, never changed to something else. The cells are
// the motors' own texts, made into the table's strings only as they are shown.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QUndoStack>
#include <optional>
#include <string_view>
#include <vector>

#include "rvx/address.h"
#include "rvx/motor_list.h"

class MotorListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Label, Room, Address, Kind, Note, ColumnCount };

    explicit MotorListModel(QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of a cell, undoable. A text that is no address or no kind is refused: false,
    // and refused() says why.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Adds a motor at the end, undoable; returns its row. A motor whose address text is not
    // right is refused: -1, and refused() says why.
    int addMotor(const rvx::Motor& motor);
    // Deletes the rows, undoable as one step.
    void deleteRows(QList<int> rows);
    // Puts a whole list in place (a site opened): no undo across it. A list holding a motor
    // whose address text is not right is refused whole, and the list stays as it was.
    bool setMotors(QList<rvx::Motor> motors);

    [[nodiscard]] const QList<rvx::Motor>& motors() const { return motors_; }
    [[nodiscard]] QUndoStack* undoStack() { return &undo_; }
    [[nodiscard]] const QUndoStack* undoStack() const { return &undo_; }

    // A cell as the table shows it, and its text in UTF-8 as the motor holds it.
    [[nodiscard]] QString cell(int row, int column) const;
    [[nodiscard]] std::string_view cellText(int row, int column) const;

    // The label of the motor or group with this address, for a frame seen on the bus: the
    // first row of that address whose kind agrees (any kind where the frame cannot tell it);
    // empty where the list has none.
    [[nodiscard]] QString labelOf(const rvx::Address& address,
                                  std::optional<rvx::AddressKind> kind) const;

    // Whether another motor of the list has this one's address and kind (its Address cell is
    // marked), and what is said of it: '123456 (single) is the address of 2 motors: row 1
    // "Hall", row 4 "Kitchen"'.
    [[nodiscard]] bool repeated(int row) const;
    [[nodiscard]] QString repeatedText(int row) const;

    // What an address text lacks, in the engine's words; empty for a right one.
    [[nodiscard]] static QString addressProblem(const QString& text);

signals:
    void refused(const QString& message);

private:
    friend class CellEdit;
    friend class RowsChange;
    void putCell(int row, int column, const QString& text);
    void insertMotors(const QList<std::pair<int, rvx::Motor>>& rows);
    void removeMotors(const QList<std::pair<int, rvx::Motor>>& rows);

    // Finds the motors that repeat an address again; tell: the marks that changed are shown.
    void findRepeats(bool tell);

    QList<rvx::Motor> motors_;
    QUndoStack undo_;
    std::vector<std::size_t> first_;   // per row, the row of the first motor of its address
    std::vector<std::size_t> shared_;  // per first row, how many motors have its address
};
