// Ends the event loop once a window has been painted for the first time: the moment a user
// sees it. The paint itself completes; the loop stops when control returns to it.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPixmap>
#include <QWidget>
#include <cstdlib>

class QuitOnFirstPaint : public QObject {
public:
    explicit QuitOnFirstPaint(QObject* window) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QCoreApplication::exit(0);
        }
        return false;
    }
};

// With RVX_FIRST_PAINT_TO set, saves what the window painted as that PNG file once the loop
// has stopped: the start's programs are compared by the pixels they show. False when it could
// not be saved.
inline bool saveFirstPaintIfAsked(QWidget& window) {
    const char* path = std::getenv("RVX_FIRST_PAINT_TO");
    return path == nullptr || window.grab().save(QString::fromLocal8Bit(path), "PNG");
}
