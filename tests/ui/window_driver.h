// Drives the real main window as a user does: clicks on what is visible and enabled, types
// into fields, picks entries of the command list, and counts the beeps.
#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <array>
#include <memory>
#include <string>

#include "main/frmMain.h"
#include "rvx/catalogue.h"
#include "rvx/memory_fields.h"
#include "worked_example.h"

// The fourteen output fields of "All Commands" in catalogue order.
inline const std::array<const char*, rvx::commandCount> outputNames = {
    "txtUP", "txtDOWN", "txtSTOP", "txtNIPU", "txtNIPD", "txtGIP", "txtGP",
    "txtJU", "txtJD",   "txtLU",   "txtLD",   "txtLC",   "txtLIP", "txtUL",
};

class Driver {
public:
    explicit Driver(frmMain& window) : window_(window), beeps(&window, &frmMain::beeped) {
        window_.show();
        exposed = QTest::qWaitForWindowExposed(&window_);
        // The views hidden at the start are made once the window has been painted, as a user
        // who waits for the window sees it.
        exposed = exposed && QTest::qWaitFor([this] {
                      return window_.findChild<QWidget*>(QStringLiteral("frmStrings")) != nullptr;
                  });
    }

    template <typename T = QWidget>
    T* get(const char* name) const {
        auto* widget = window_.findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            QTest::qFail(qPrintable(QStringLiteral("no control %1").arg(QLatin1String(name))),
                         __FILE__, __LINE__);
        }
        return widget;
    }
    QLineEdit* field(const char* name) const { return get<QLineEdit>(name); }
    QString text(const char* name) const {
        if (auto* edit = window_.findChild<QLineEdit*>(QString::fromLatin1(name))) {
            return edit->text();
        }
        return get<QLabel>(name)->text();
    }
    QComboBox* list() const { return get<QComboBox>("Combo1"); }

    // A mouse click on a control the user can reach.
    [[nodiscard]] bool click(const char* name) {
        QWidget* widget = get(name);
        if (!widget->isVisible() || !widget->isEnabled()) {
            return false;
        }
        QTest::mouseClick(widget, Qt::LeftButton);
        return true;
    }

    // Types text at the end of what the field holds.
    [[nodiscard]] bool type(const char* name, const QString& text) {
        QLineEdit* edit = field(name);
        if (!edit->isVisible()) {
            return false;
        }
        edit->setFocus();
        edit->end(false);
        QTest::keyClicks(edit, text);
        return true;
    }

    // Deletes the last character of the field, as the backspace key does.
    [[nodiscard]] bool backspace(const char* name) {
        QLineEdit* edit = field(name);
        if (!edit->isVisible()) {
            return false;
        }
        edit->setFocus();
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_Backspace);
        return true;
    }

    // Selects the field's text and types over it, as a user replacing a value does.
    [[nodiscard]] bool replace(const char* name, const QString& text) {
        QLineEdit* edit = field(name);
        if (!edit->isVisible()) {
            return false;
        }
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(edit, Qt::Key_Delete);
        } else {
            QTest::keyClicks(edit, text);
        }
        return true;
    }

    // Picks an entry of the command list from its drop-down, with the mouse.
    [[nodiscard]] bool pick(const QString& entry) {
        QComboBox* combo = list();
        const int index = combo->findText(entry, Qt::MatchExactly);
        if (index < 0 || !combo->isVisible() || !combo->isEnabled()) {
            return false;
        }
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        const QRect item = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
        return combo->currentIndex() == index && !view->isVisible();
    }

    // Opens the menu of a string field as a right click does (the platform turns the click into
    // a context menu event) and returns it; null where none opened.
    [[nodiscard]] QMenu* openMenu(const char* name) const {
        QLineEdit* edit = field(name);
        const QPoint at = edit->rect().center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, edit->mapToGlobal(at));
        QApplication::sendEvent(edit, &click);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }

    // Opens the menu of a string field and picks an entry of it, by the entry's object name.
    [[nodiscard]] bool pickFromMenu(const char* name, const QString& entry) const {
        QMenu* menu = openMenu(name);
        QAction* action = menu != nullptr ? menu->findChild<QAction*>(entry) : nullptr;
        const bool usable = action != nullptr && action->isEnabled();
        if (usable) {
            action->trigger();
        }
        if (menu != nullptr) {
            menu->close();
        }
        return usable;
    }

    // A valid single motor address calculated in the "All Commands" view.
    [[nodiscard]] bool calculated(const QString& address = QStringLiteral("123456")) {
        return click("optSM") && click("optMQR") && replace("txtSM", address) && click("cmdCalc");
    }

    // The same, then the "Choose Command" view brought up.
    [[nodiscard]] bool choosing(const QString& address = QStringLiteral("123456")) {
        return calculated(address) && click("optPX40");
    }

    // The strings the engine makes from the fields as they are now shown.
    [[nodiscard]] std::array<std::string, rvx::commandCount> engineStrings(
        rvx::AddressKind kind, const QString& address) const {
        rvx::MemoryFields fields;
        fields.kind = kind;
        fields.address[static_cast<std::size_t>(kind)] = address.toStdString();
        for (const auto& info : rvx::parameterCatalogue) {
            fields.parameter(info.field) = text(std::string(info.fieldName).c_str()).toStdString();
        }
        rvx::CommandStringEngine engine(fields);
        engine.getAddress();
        return fields.outputs;
    }

private:
    frmMain& window_;

public:
    QSignalSpy beeps;
    bool exposed = false;
};

// The main window and its driver, made afresh for each test function: init() makes them,
// cleanup() drops them.
class FreshWindow {
public:
    [[nodiscard]] bool make() {
        window_ = std::make_unique<frmMain>();
        ui_ = std::make_unique<Driver>(*window_);
        return ui_->exposed;
    }
    void drop() {
        ui_.reset();
        window_.reset();
    }
    [[nodiscard]] frmMain& window() const { return *window_; }
    [[nodiscard]] Driver& ui() const { return *ui_; }

private:
    std::unique_ptr<frmMain> window_;
    std::unique_ptr<Driver> ui_;
};
