// The main window's size rule and the placement, fonts and style sheets of
// every widget of its form, relative to the primary screen.
#pragma once

#include <QString>

namespace Ui {
class MainWindow;
}

class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class ScreenUtil;

struct MainWindowLayout {
    int homeX = 0;
    int homeY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
};

// Makes the window frameless and rounded, two fifths of the screen wide and
// half of it high, centred; places and styles the widgets; shows versionText
// after "V ". The window watches its hover widgets through its own event
// filter. Returns the start position and the fixed size.
MainWindowLayout layOutMainWindow(QMainWindow *window, Ui::MainWindow *ui, const ScreenUtil &screen,
                                  const QString &versionText);

// The code field's font and colour: the typed code in spaced "Consolas", the
// placeholder in "PingFang SC".
void styleCodeField(QLineEdit *code, bool typed);
// The cast button's enabled or disabled look.
void styleCastButton(QPushButton *button, bool enabled);
// The centre picture while casting or idle.
void styleMidPicture(QLabel *mid, bool casting);
