#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "app/config/ConfigUtil.h"

#include <QMainWindow>

namespace Ui {
class MainWindow;
}

class ScreenUtil;

// The program's main window: a frameless, rounded window two fifths of the
// primary screen wide and half of it high, with the cast-code field in the
// middle, the help and version row at the bottom right and the picture-mode
// options at the bottom left. The constructor lays every widget out from the
// window's size.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

private:
    void sizeToScreen();
    void placeCodeEntry(int midY, int midHeight);
    void placeCornerWidgets();
    void placeBottomRow();
    void appendHelpContacts();

    Ui::MainWindow *ui;
    ConfigUtil configUtil;
    ScreenUtil *screenUtil;
};

#endif // MAINWINDOW_H
