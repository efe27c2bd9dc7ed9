#include "site/parameter_box.h"

#include <QLineEdit>
#include <algorithm>
#include <limits>

#include "rvx/frame.h"
#include "rvx/value_rules.h"

ParameterBox::ParameterBox(rvx::ParameterField field, QWidget* parent)
    : QSpinBox(parent), field_(field) {
    const rvx::Interval range = rvx::parameterInfo(field).admitted.parts[0];
    low_ = static_cast<int>(range.low);
    high_ = static_cast<int>(range.high);
    // Every whole number can be typed and is kept as typed: the engine judges it, not the box.
    // A number too long for the box is out of every parameter's range as well.
    setRange(-std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
    setValue(static_cast<int>(rvx::startValues()[static_cast<std::size_t>(field)]));
    connect(this, &QSpinBox::textChanged, this, &ParameterBox::judge);
    judge();
}

void ParameterBox::stepBy(int steps) {
    const int from = std::clamp(value(), low_, high_);
    const long long to = static_cast<long long>(from) + steps;
    setValue(static_cast<int>(std::clamp<long long>(to, low_, high_)));
    selectAll();
}

QSize ParameterBox::sizeHint() const {
    if (!hint_.isValid() || hintSuffix_ != suffix()) {
        hintSuffix_ = suffix();
        QSpinBox like;
        like.setFont(font());
        like.setRange(std::min(low_, -1000), std::max(high_, 1000));
        like.setSuffix(suffix());
        hint_ = like.sizeHint();
        minimumHint_ = like.minimumSizeHint();
    }
    return hint_;
}

QSize ParameterBox::minimumSizeHint() const {
    (void)sizeHint();
    return minimumHint_;
}

QAbstractSpinBox::StepEnabled ParameterBox::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value() < high_) {
        enabled |= StepUpEnabled;
    }
    if (value() > low_) {
        enabled |= StepDownEnabled;
    }
    return enabled;
}

void ParameterBox::judge() {
    const QByteArray text = cleanText().trimmed().toUtf8();
    const std::string_view typed(text.constData(), static_cast<std::size_t>(text.size()));
    const rvx::ValueReading reading = rvx::readValue(field_, typed);
    const QString problem =
        QString::fromStdString(rvx::valueMessage(field_, typed, reading.verdict));
    if (problem == problem_ && !problem.isEmpty()) {
        return;
    }
    problem_ = problem;
    setToolTip(problem_);
    setAccessibleDescription(problem_);
    // Marked as refused for sight and for the style: the text stays as typed.
    setProperty("refused", !problem_.isEmpty());
    QPalette colours = parentWidget() != nullptr ? parentWidget()->palette() : palette();
    if (!problem_.isEmpty()) {
        colours.setColor(QPalette::Text, QColor(0xB0, 0x00, 0x20));
    }
    lineEdit()->setPalette(colours);
    emit judged();
}
