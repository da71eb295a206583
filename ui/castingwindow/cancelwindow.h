#ifndef CANCELWINDOW_H
#define CANCELWINDOW_H

#include "ui/common/windowdrag.h"

#include <QWidget>

namespace Ui {
class CancelWindow;
}

class QMouseEvent;

// The small always-on-top window shown while a cast runs, at the desktop's
// right edge: a TV icon, "投屏中" and the button "退出投屏". The button only
// announces the wish to quit through cancelCastNoctice(); the main window
// stops the cast and hides this window. Frameless, so it is dragged by any
// mouse button anywhere outside the button.
class CancelWindow : public QWidget {
    Q_OBJECT
public:
    explicit CancelWindow(QWidget *parent = nullptr);
    ~CancelWindow() override;

signals:
    void cancelCastNoctice();

private slots:
    // Dragging of the frameless window, with any mouse button.
    void mousePressEvent(QMouseEvent *e) override { drag.press(e); }
    void mouseMoveEvent(QMouseEvent *e) override { drag.move(e); }
    void mouseReleaseEvent(QMouseEvent *e) override { drag.release(e); }
    void cancelCast();

private:
    Ui::CancelWindow *ui;
    WindowDrag drag{this};
};

#endif // CANCELWINDOW_H
