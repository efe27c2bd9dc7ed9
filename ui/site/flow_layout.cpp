#include "site/flow_layout.h"

#include <QStyle>
#include <QWidget>
#include <QWidgetItem>
#include <algorithm>

FlowLayout::FlowLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) {
        delete item;
    }
}

void FlowLayout::addControl(QWidget* control, bool joined) {
    addChildWidget(control);
    addItem(new QWidgetItem(control));
    joined_.back() = joined && items_.size() > 1;
}

void FlowLayout::addItem(QLayoutItem* item) {
    items_.append(item);
    joined_.append(false);
    invalidate();
}

int FlowLayout::count() const {
    return static_cast<int>(items_.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) {
        return nullptr;
    }
    joined_.removeAt(index);
    if (index < joined_.size()) {
        joined_[index] = joined_[index] && index > 0;
    }
    invalidate();
    return items_.takeAt(index);
}

Qt::Orientations FlowLayout::expandingDirections() const {
    return {};
}

int FlowLayout::gap() const {
    if (const int set = spacing(); set >= 0) {
        return set;
    }
    const QWidget* owner = parentWidget();
    const int styled =
        owner != nullptr ? owner->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) : -1;
    return styled >= 0 ? styled : 6;
}

int FlowLayout::heightForWidth(int width) const {
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const {
    // The widest run of joined controls, on a row of its own.
    QSize size;
    int run = 0;
    for (qsizetype k = 0; k < items_.size(); ++k) {
        if (items_[k]->isEmpty()) {
            continue;
        }
        const QSize hint = items_[k]->sizeHint().expandedTo(items_[k]->minimumSize());
        run = joined_[k] ? run + gap() + hint.width() : hint.width();
        size = size.expandedTo(QSize(run, hint.height()));
    }
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize FlowLayout::sizeHint() const {
    // Every control on one row.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty()) {
            continue;
        }
        width += (width > 0 ? gap() : 0) + item->sizeHint().width();
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins margins = contentsMargins();
    return {width + margins.left() + margins.right(), height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool place) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int space = gap();
    // The controls, in runs that stay together; each run goes where the row has room for it.
    struct Run {
        qsizetype first;
        qsizetype last;
        int width;
    };
    QList<Run> runs;
    for (qsizetype k = 0; k < items_.size(); ++k) {
        if (items_[k]->isEmpty()) {
            continue;
        }
        const int width = items_[k]->sizeHint().width();
        if (joined_[k] && !runs.isEmpty()) {
            runs.back().last = k;
            runs.back().width += space + width;
        } else {
            runs.append(Run{k, k, width});
        }
    }
    int x = area.left();
    int y = area.top();
    int rowHeight = 0;
    QList<std::pair<QLayoutItem*, QRect>> row;
    const auto endRow = [&](bool last) {
        if (place) {
            // The last control keeps to the right end of the last row.
            const int shift = last && lastToTheRight_ && !row.isEmpty()
                                  ? area.right() + 1 - row.back().second.right() - 1
                                  : 0;
            for (qsizetype k = 0; k < row.size(); ++k) {
                QRect at = row[k].second;
                at.setHeight(rowHeight);
                if (k == row.size() - 1) {
                    at.translate(std::max(0, shift), 0);
                }
                row[k].first->setGeometry(at);
            }
        }
        row.clear();
    };
    for (const Run& run : runs) {
        if (x > area.left() && x + run.width > area.right() + 1) {
            endRow(false);
            x = area.left();
            y += rowHeight + space;
            rowHeight = 0;
        }
        for (qsizetype k = run.first; k <= run.last; ++k) {
            if (items_[k]->isEmpty()) {
                continue;
            }
            const QSize hint = items_[k]->sizeHint();
            row.append({items_[k], QRect(QPoint(x, y), hint)});
            x += hint.width() + space;
            rowHeight = std::max(rowHeight, hint.height());
        }
    }
    endRow(true);
    const QMargins margins = contentsMargins();
    return y + rowHeight - rect.top() + margins.bottom();
}
