#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "app/config/configutil.h"
#include "app/display/ratioutil.h"
#include "capture/capturestatus.h"
#include "ui/common/windowdrag.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

namespace Ui {
class MainWindow;
}

class Active;
class CancelWindow;
class DownloadDialog;
class HeartUtil;
class NetworkUtil;
class QNetworkReply;
class QThread;
class ScreenUtil;
class YoxiCapture;
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
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void closeWindow();
    void minimizeWindow();
    void startUpgradeSlot(bool result);
    void closeDownloadDialog();
    void leaveFailedDownload();
    void btnToggled(bool result);
    void showRequestTimeout();

private:
    void sizeToScreen();
    void placeCodeEntry(int midY, int midHeight);
    void placeCornerWidgets();
    void placeBottomRow();
    void appendHelpContacts();
    void fitHelpContent();
    void connectWidgets();
    void checkAgreement();

    void setCastButtonEnabled(bool enabled);
    void showMessage(const QString &text, bool modal);
    void showUpgradeTip();
    void hideUpgradeTip();

    Ui::MainWindow *ui;
    YoxiCapture *capture;
    QThread *captureThread;
    CancelWindow *cancelWindow;
    YoxiUpgrade *upgrade;
    Active *active;
    QThread *upgradeThread;
    // The dialog deletes itself when it closes; the guarded pointer then reads
    // empty, so a closed dialog is never used again.
    QPointer<DownloadDialog> downloadDialog;
    // The last announced upgrade must be installed to go on using the program.
    bool upgradeForced = false;
    HeartUtil *heartUtil;
    NetworkUtil *networkUtil;
    ScreenUtil *screen;
    ConfigUtil config;
    CaptureStatus captureStatus;
    WindowDrag drag{this};
    QString castCode;
    RatioUtil ratioUtil;
    int homeX = 0;
    int homeY = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    QString isOrigin;
};

#endif // MAINWINDOW_H
