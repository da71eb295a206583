// The main window's agreement and upgrade flow: the terms dialog at the first
// start, the upgrade check, the upgrade prompt and the download dialog. It
// closes the window whenever the program must end (a refused agreement, a
// refused forced upgrade, an opened package, a closed download dialog).
#pragma once

#include "app/config/configutil.h"

#include <QPointer>
#include <QString>

class DownloadDialog;
class QPushButton;
class QThread;
class QWidget;
class YoxiUpgrade;

class UpgradeFlow {
public:
    // The dialogs' signals go to window's slots quitTerms, startUpgradeSlot,
    // closeDownloadDialog and leaveFailedDownload, which hand them back here.
    UpgradeFlow(QWidget *window, QPushButton *upgradeButton);
    ~UpgradeFlow();
    UpgradeFlow(const UpgradeFlow &) = delete;
    UpgradeFlow &operator=(const UpgradeFlow &) = delete;

    // The upgrade check, whose upgradeNotice the window listens to.
    YoxiUpgrade *checker() const { return upgrade; }

    // Opens the terms dialog when the agreement is not accepted yet, else
    // starts the upgrade check.
    void checkAgreement();
    void quitTerms(int result);
    void receiveUpgrade(const QString &version, int type);
    void doUpgrade();
    void startUpgrade(bool result);
    void closeDownloadDialog();
    void leaveFailedDownload();

private:
    QWidget *window;
    QPushButton *upgradeButton;
    YoxiUpgrade *upgrade;
    QThread *upgradeThread;
    // The dialog deletes itself when it closes; the guarded pointer then reads
    // empty, so a closed dialog is never used again.
    QPointer<DownloadDialog> downloadDialog;
    // The last announced upgrade must be installed to go on using the program.
    bool upgradeForced = false;
    ConfigUtil config;
};
