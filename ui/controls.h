// Building a window's controls from a table of rows, as the layouts are given: name, kind,
// caption, container, position and size in twips, tab index, start state, maximum length, font.
#pragma once

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <span>
#include <utility>

namespace ui {

enum class Kind { Frame, Label, Field, MultiLineField, Button, Option, List, Line };
enum class FontStyle { Default, Bold975, Bold825 };
enum class StartState { Shown, Hidden, Disabled };
enum class Align { Left, Right, Centre };

struct ControlRow {
    const char* name;
    Kind kind;
    const char* caption;           // caption or initial text
    const char* container;         // the window's object name, or a frame's
    int left, top, width, height;  // twips, relative to the container
    int tab;                       // keyboard focus order; -1 for none (the line)
    StartState state;
    int maxLength;  // 0: no limit
    FontStyle font;
    Align align;
};

// 15 twips make one device-independent pixel.
[[nodiscard]] int twips(int value);

// Creates the controls of the rows inside window (containers before their contents), names
// them, places them, sets their captions, fonts and states, and chains the keyboard focus in
// order of the tab column. Returns the controls by name. With a client area, the rows whose
// container is the window are placed in it instead (a window with a menu bar above its layout);
// the window's name then stands for the client area.
QHash<QString, QWidget*> buildControls(QWidget* window, std::span<const ControlRow> rows,
                                       QWidget* clientArea = nullptr);

// Adds the controls of further rows to those buildControls made, in the containers already made
// or made by these rows; the focus is not chained.
void addControls(QHash<QString, QWidget*>& controls, std::span<const ControlRow> rows);

// Chains the keyboard focus through the controls of the rows that have been made, in order of
// the tab column.
void chainFocus(const QHash<QString, QWidget*>& controls, std::span<const ControlRow> rows);

// The program's icon, drawn from its SVG, for every window.
[[nodiscard]] QIcon applicationIcon();

// Gives each named control its accessible name: what a screen reader says it is.
void nameForScreenReaders(const QHash<QString, QWidget*>& controls,
                          std::span<const std::pair<const char*, const char*>> names);

// How a screen reader takes a control that has no name of its own. Without this, Qt names a
// control inside a frame after the frame's title: an empty status line or the separating
// line of "All Commands" would be read as "All Commands".
enum class Spoken {
    StatusLine,  // read as its text, even while that is empty
    Separator,   // a separator, with no name
    // A combo box read by its name, with what it holds as its value: Qt's own reads it on
    // X11 by its value alone, leaving the name to a label, which the site window's lack.
    Chooser,
};
// speakAs works on controls whose class Qt's own accessibility does not claim first: the labels
// of the table are of this class, the line is a plain frame.
void speakAs(QWidget* control, Spoken spoken);

class Label : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

// The font of a style, every attribute set, so that no control takes its frame's font.
[[nodiscard]] QFont fontFor(FontStyle style);

}  // namespace ui
