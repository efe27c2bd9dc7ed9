// A row of controls that goes on in a second row, and a third, where the window is too narrow
// for one: the send strip of the site window on a small screen or at a large scale, with every
// caption whole. A control may be joined to the one before it (a value box to its button), so
// that the two stand on one row; the last control may keep to the right end of its row.
#pragma once

#include <QLayout>
#include <QList>

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent);
    ~FlowLayout() override;
    FlowLayout(const FlowLayout&) = delete;
    FlowLayout& operator=(const FlowLayout&) = delete;

    // Adds a control after the others; joined: on the same row as the one before it.
    void addControl(QWidget* control, bool joined = false);
    // The last control stands at the right end of its row.
    void setLastToTheRight(bool right) { lastToTheRight_ = right; }

    void addItem(QLayoutItem* item) override;
    [[nodiscard]] int count() const override;
    [[nodiscard]] QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    [[nodiscard]] Qt::Orientations expandingDirections() const override;
    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override;
    [[nodiscard]] QSize minimumSize() const override;
    [[nodiscard]] QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    [[nodiscard]] int gap() const;
    // Lays the controls out in rect (placing them when place), rows as wide as it allows;
    // returns the height they take.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items_;
    QList<bool> joined_;
    bool lastToTheRight_ = false;
};
