#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "app/config/configutil.h"
#include "ui/common/windowdrag.h"
#include "ui/mainwindow/hoverpopups.h"

#include <QMainWindow>
#include <QString>

namespace Ui {
class MainWindow;
}

class Active;
class CastSession;
class ConnectExchange;
class CancelWindow;
class NetworkUtil;
class QNetworkReply;
class QThread;
class ScreenUtil;
class UpgradeFlow;
class YoxiUpgrade;

// The program's main window: a frameless, rounded window two fifths of the
// primary screen wide and half of it high, with the cast-code field in the
// middle, the help and version row at the bottom right and the picture-mode
// options at the bottom left.
//
// It runs the cast: the typed code goes to the server's connect request, the
// reply names the receiver, the engine is started through YoxiCapture, and
// while the cast runs the window stays minimised behind the casting window
// and the heartbeat. Around that it asks once for the user agreement, reports
// the installation, offers announced upgrades and shows the help popup.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void voteScreen();
    void quitScreen();
    void codeTextChanged(QString text);
    void finishedSlot(QNetworkReply *reply);
    void captureResultNotice(bool result);
    void cancelResultNotice(int result);
    void receiveUpgrade(QString version, int type);
    void doUpgrade();
    void quitTerms(int result);
    void slotCursorPositionChanged(int oldPosition, int newPosition);
    // Dragging of the frameless window, with any mouse button.
    void mousePressEvent(QMouseEvent *e) override { drag.press(e); }
    void mouseMoveEvent(QMouseEvent *e) override { drag.move(e); }
    void mouseReleaseEvent(QMouseEvent *e) override { drag.release(e); }
    void closeWindow();
    void minimizeWindow();
    void startUpgradeSlot(bool result);
    void closeDownloadDialog();
    void leaveFailedDownload();
    void btnToggled(bool result);
    void showRequestTimeout();

private:
    void connectWidgets();

    void setCastButtonEnabled(bool enabled);
    void showMessage(const QString &text, bool modal);

    Ui::MainWindow *ui;
    HoverPopups hoverPopups{this, ui};
    CastSession *session;
    CancelWindow *cancelWindow;
    // Owned by upgradeFlow.
    YoxiUpgrade *upgrade;
    Active *active;
    UpgradeFlow *upgradeFlow;
    NetworkUtil *networkUtil;
    ConnectExchange *exchange;
    ScreenUtil *screen;
    ConfigUtil config;
    WindowDrag drag{this};
    QString castCode;
    int homeX = 0;
    int homeY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    QString isOrigin;
};

#endif // MAINWINDOW_H
