// The motors of a site as the site window lists them: label, room, address, kind and note, one
// row per motor in the order of the site file. Every edit, addition and deletion goes through
// the model's undo stack; an address is judged by the engine as it is set, and one that is not
// right is refused with the engine's message, never changed to something else.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QUndoStack>
#include <optional>

#include "rvx/address.h"

struct SiteMotor {
    QString label;
    QString room;
    QString address;  // six hexadecimal digits, as typed
    rvx::AddressKind kind = rvx::AddressKind::Single;
    QString note;

    // The address bytes; nullopt for an address that is not right.
    [[nodiscard]] std::optional<rvx::Address> bytes() const;
    friend bool operator==(const SiteMotor&, const SiteMotor&) = default;
};

// "single" or "group", as the motor lists write the kind.
[[nodiscard]] QString kindText(rvx::AddressKind kind);
[[nodiscard]] std::optional<rvx::AddressKind> readKind(const QString& text);

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

    // Adds a motor at the end, undoable; returns its row.
    int addMotor(const SiteMotor& motor);
    // Deletes the rows, undoable as one step.
    void deleteRows(QList<int> rows);
    // Puts a whole list in place (a site opened): no undo across it.
    void setMotors(const QList<SiteMotor>& motors);

    [[nodiscard]] const QList<SiteMotor>& motors() const { return motors_; }
    [[nodiscard]] QUndoStack* undoStack() { return &undo_; }

    // The label of the motor or group with this address, for a frame seen on the bus: the
    // first row of that address whose kind agrees (any kind where the frame cannot tell it).
    [[nodiscard]] QString labelOf(const rvx::Address& address,
                                  std::optional<rvx::AddressKind> kind) const;

    // What an address text lacks, in the engine's words; empty for a right one.
    [[nodiscard]] static QString addressProblem(const QString& text);

signals:
    void refused(const QString& message);

private:
    friend class CellEdit;
    friend class RowsChange;
    void putCell(int row, int column, const QString& text);
    void insertMotors(const QList<std::pair<int, SiteMotor>>& rows);
    void removeMotors(const QList<std::pair<int, SiteMotor>>& rows);

    QList<SiteMotor> motors_;
    QUndoStack undo_;
};
