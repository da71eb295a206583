// Dragging of a frameless window: its three mouse handlers hand every press,
// move and release here, with any mouse button.
#pragma once

#include <QPoint>

class QMouseEvent;
class QWidget;

class WindowDrag {
public:
    explicit WindowDrag(QWidget *window);

    void press(const QMouseEvent *event);
    void move(const QMouseEvent *event);
    // A release that no press on the window started (say the press closed a
    // dialog above it) has no drag origin and does not move the window.
    void release(const QMouseEvent *event);

private:
    void follow(const QPoint &globalPos);

    QWidget *window;
    QPoint last;
    bool dragging = false;
};
