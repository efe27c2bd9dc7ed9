#include "controls.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <vector>

namespace ui {

int twips(int value) {
    return (value + 7) / 15;
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/icons/app-icon.svg"));
}

void nameForScreenReaders(const QHash<QString, QWidget*>& controls,
                          std::span<const std::pair<const char*, const char*>> names) {
    for (const auto& [name, spoken] : names) {
        if (QWidget* control = controls.value(QString::fromLatin1(name))) {
            control->setAccessibleName(QString::fromUtf8(spoken));
        }
    }
}

namespace {

const char* const spokenProperty = "rvxSpoken";

class SpokenControl : public QAccessibleWidget {
public:
    SpokenControl(QWidget* control, Spoken spoken)
        : QAccessibleWidget(control, spoken == Spoken::StatusLine ? QAccessible::StaticText
                                                                  : QAccessible::Separator),
          spoken_(spoken) {}

    [[nodiscard]] QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            if (spoken_ == Spoken::Separator) {
                return {};
            }
            const auto* label = qobject_cast<const QLabel*>(widget());
            const QString named = widget()->accessibleName();
            return !named.isEmpty() || label == nullptr ? named : label->text();
        }
        if (kind == QAccessible::Description) {
            return widget()->accessibleDescription();
        }
        return QAccessibleWidget::text(kind);
    }

private:
    Spoken spoken_;
};

class NamedChooser : public QAccessibleWidget {
public:
    explicit NamedChooser(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    [[nodiscard]] QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) {
            return widget()->accessibleName();
        }
        if (kind == QAccessible::Value) {
            return box()->isEditable() ? box()->lineEdit()->text() : box()->currentText();
        }
        return QAccessibleWidget::text(kind);
    }
    // Its list of choices, as Qt's own has it.
    [[nodiscard]] int childCount() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == box()->view() ? 0 : -1;
    }
    [[nodiscard]] QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction() || action == pressAction()) {
            box()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    [[nodiscard]] QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* spokenFactory(const QString& /*className*/, QObject* object) {
    auto* control = qobject_cast<QWidget*>(object);
    if (control == nullptr) {
        return nullptr;
    }
    const QVariant spoken = control->property(spokenProperty);
    if (!spoken.isValid()) {
        return nullptr;
    }
    if (static_cast<Spoken>(spoken.toInt()) == Spoken::Chooser) {
        auto* box = qobject_cast<QComboBox*>(control);
        return box != nullptr ? new NamedChooser(box) : nullptr;
    }
    return new SpokenControl(control, static_cast<Spoken>(spoken.toInt()));
}

}  // namespace

void speakAs(QWidget* control, Spoken spoken) {
    static const bool installed = [] {
        QAccessible::installFactory(spokenFactory);
        return true;
    }();
    Q_UNUSED(installed);
    control->setProperty(spokenProperty, static_cast<int>(spoken));
    // Qt may have made the control's interface already, while the control was being set up;
    // the next query makes it anew.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(control);
        made != nullptr && dynamic_cast<SpokenControl*>(made) == nullptr &&
        dynamic_cast<NamedChooser*>(made) == nullptr) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

namespace {

// The layout was drawn for "MS Sans Serif" at 8.25 and 9.75 points. Where the platform lacks
// it, a sans-serif face of like width stands in, so that every caption fits its place; the
// platform's own face comes last. The face is looked up once: a font that names only a face
// the platform has spares a search through the missing ones for every font of every control.
QString faceFamily() {
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const QString& candidate :
             {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
              QStringLiteral("Liberation Sans"), QStringLiteral("Arial")}) {
            if (installed.contains(candidate, Qt::CaseInsensitive)) {
                return candidate;
            }
        }
        return QApplication::font().family();
    }();
    return family;
}

}  // namespace

QFont fontFor(FontStyle style) {
    QFont font;
    font.setFamily(faceFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(style == FontStyle::Bold975 ? 9.75 : 8.25);
    font.setWeight(style == FontStyle::Default ? QFont::Normal : QFont::Bold);
    return font;
}

namespace {

Qt::Alignment alignmentOf(Align align) {
    switch (align) {
        case Align::Right:
            return Qt::AlignRight | Qt::AlignVCenter;
        case Align::Centre:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QWidget* makeControl(const ControlRow& row, QWidget* parent) {
    const QString caption = QString::fromUtf8(row.caption);
    switch (row.kind) {
        case Kind::Frame:
            return new QGroupBox(caption, parent);
        case Kind::Label: {
            auto* label = new Label(caption, parent);
            label->setAlignment(alignmentOf(row.align));
            label->setTextFormat(Qt::PlainText);
            return label;
        }
        case Kind::Field: {
            auto* field = new QLineEdit(parent);
            if (row.maxLength > 0) {
                field->setMaxLength(row.maxLength);
            }
            field->setText(caption);
            field->setAlignment(alignmentOf(row.align));
            return field;
        }
        case Kind::MultiLineField: {
            auto* field = new QPlainTextEdit(caption, parent);
            field->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            field->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            field->setTabChangesFocus(true);
            return field;
        }
        case Kind::Button: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case Kind::Option:
            return new QRadioButton(caption, parent);
        case Kind::List: {
            auto* list = new QComboBox(parent);
            list->setEditable(false);
            return list;
        }
        case Kind::Line: {
            auto* line = new QFrame(parent);
            line->setFrameShape(QFrame::NoFrame);
            line->setAutoFillBackground(true);
            QPalette palette = line->palette();
            palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
            line->setPalette(palette);
            return line;
        }
    }
    return nullptr;
}

}  // namespace

void addControls(QHash<QString, QWidget*>& controls, std::span<const ControlRow> rows) {
    for (const ControlRow& row : rows) {
        QWidget* parent = controls.value(QString::fromUtf8(row.container));
        Q_ASSERT(parent != nullptr);
        QWidget* control = makeControl(row, parent);
        control->setObjectName(QString::fromUtf8(row.name));
        control->setFont(fontFor(row.font));
        if (row.kind == Kind::Line) {
            control->setGeometry(twips(row.left), twips(row.top), twips(row.width), 1);
        } else {
            control->setGeometry(twips(row.left), twips(row.top), twips(row.width),
                                 twips(row.height));
        }
        control->setVisible(row.state != StartState::Hidden);
        control->setEnabled(row.state != StartState::Disabled);
        controls.insert(control->objectName(), control);
    }
}

void chainFocus(const QHash<QString, QWidget*>& controls, std::span<const ControlRow> rows) {
    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const ControlRow& row : rows) {
        QWidget* control = controls.value(QString::fromUtf8(row.name));
        if (control != nullptr && control->focusPolicy() != Qt::NoFocus && row.tab >= 0) {
            focusOrder.emplace_back(row.tab, control);
        }
    }
    std::ranges::stable_sort(focusOrder, {}, &std::pair<int, QWidget*>::first);
    for (std::size_t k = 1; k < focusOrder.size(); ++k) {
        QWidget::setTabOrder(focusOrder[k - 1].second, focusOrder[k].second);
    }
}

QHash<QString, QWidget*> buildControls(QWidget* window, std::span<const ControlRow> rows,
                                       QWidget* clientArea) {
    QHash<QString, QWidget*> controls;
    controls.insert(window->objectName(), clientArea != nullptr ? clientArea : window);
    window->setFont(fontFor(FontStyle::Default));
    if (clientArea != nullptr) {
        clientArea->setFont(fontFor(FontStyle::Default));
    }
    addControls(controls, rows);
    chainFocus(controls, rows);
    return controls;
}

}  // namespace ui
