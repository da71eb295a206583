#include "ui/common/windowdrag.h"

#include <QMouseEvent>
#include <QWidget>

WindowDrag::WindowDrag(QWidget *window) : window(window) {}

void WindowDrag::press(const QMouseEvent *event) {
    dragging = true;
    last = event->globalPos();
}

void WindowDrag::move(const QMouseEvent *event) {
    if (dragging) {
        follow(event->globalPos());
    }
}

void WindowDrag::release(const QMouseEvent *event) {
    if (dragging) {
        follow(event->globalPos());
    }
    dragging = false;
}

void WindowDrag::follow(const QPoint &globalPos) {
    window->move(window->pos() + globalPos - last);
    last = globalPos;
}
