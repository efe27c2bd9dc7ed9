#include "site/site_list_view.h"

#include <QLabel>
#include <QLineEdit>

#include "site/motor_list_model.h"

SiteFilter::SiteFilter(const MotorListModel& motors, QObject* parent)
    : QSortFilterProxyModel(parent), motors_(motors) {
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void SiteFilter::setText(const QString& text) {
    text_ = text;
    invalidateFilter();
}

bool SiteFilter::filterAcceptsRow(int row, const QModelIndex& /*parent*/) const {
    if (text_.isEmpty()) {
        return true;
    }
    for (int column = 0; column < MotorListModel::ColumnCount; ++column) {
        if (motors_.cell(row, column).contains(text_, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

bool SiteFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return QString::compare(motors_.cell(left.row(), left.column()),
                            motors_.cell(right.row(), right.column()), sortCaseSensitivity()) < 0;
}

AddressDelegate::AddressDelegate(QLabel* problem, QObject* parent)
    : QStyledItemDelegate(parent), problem_(problem) {}

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
