// The base of the program's frameless dialogs: any mouse button pressed on the
// dialog's body (not on a button, which takes its own presses) drags it.
#pragma once

#include "ui/common/windowdrag.h"

#include <QDialog>

class QMouseEvent;

class FramelessDialog : public QDialog {
    Q_OBJECT

public:
    explicit FramelessDialog(QWidget *parent = nullptr) : QDialog(parent) {}

protected:
    void mousePressEvent(QMouseEvent *event) override { drag.press(event); }
    void mouseMoveEvent(QMouseEvent *event) override { drag.move(event); }
    void mouseReleaseEvent(QMouseEvent *event) override { drag.release(event); }

private:
    WindowDrag drag{this};
};
