// Ends the event loop once a window has been painted for the first time: the moment a user
// sees it. The paint itself completes; the loop stops when control returns to it.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

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
