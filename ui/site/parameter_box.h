// A box for a parameter the site window sends with (Go to %, Go to IP #): it keeps whatever
// number is typed, in or out of the range the frames admit, so that what the box shows is
// what a send would carry. A value out of range is not changed into another: the box says it
// is refused, in the engine's words, and the window sends nothing with it until it is right.
// The arrows and Page Up/Down step within the admitted range only.
#pragma once

#include <QSpinBox>
#include <QString>

#include "rvx/catalogue.h"

class ParameterBox : public QSpinBox {
    Q_OBJECT

public:
    ParameterBox(rvx::ParameterField field, QWidget* parent);

    [[nodiscard]] rvx::ParameterField field() const { return field_; }
    // Why the value shown may not go to a motor ("\"150\": out of range; the percentage must
    // be 0 to 100"); empty while it may.
    [[nodiscard]] QString problem() const { return problem_; }

    void stepBy(int steps) override;
    // As wide as a box of the admitted range, not of every number that can be typed.
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

signals:
    // The value shown was judged anew: problem() tells the verdict.
    void judged();

protected:
    [[nodiscard]] StepEnabled stepEnabled() const override;

private:
    void judge();

    rvx::ParameterField field_;
    int low_;
    int high_;
    QString problem_;
    mutable QSize hint_;
    mutable QString hintSuffix_;
    mutable QSize minimumHint_;
};
