// The main window's hover behaviour: the help popup that opens over the help
// label and its icon and hides when it loses the focus, and the upgrade tip
// with its arrow above the upgrade button.
#pragma once

#include "app/config/configutil.h"

namespace Ui {
class MainWindow;
}

class QEvent;
class QObject;
class QWidget;

class HoverPopups {
public:
    HoverPopups(QWidget *window, Ui::MainWindow *ui);

    // An event of the window or of one of its watched widgets; the event goes
    // on to its widget whatever happens here.
    void handle(QObject *watched, QEvent *event);

private:
    void showUpgradeTip();
    void hideUpgradeTip();

    QWidget *window;
    Ui::MainWindow *ui;
    ConfigUtil config;
};
