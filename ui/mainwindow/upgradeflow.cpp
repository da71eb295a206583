#include "ui/mainwindow/upgradeflow.h"

#include "api/upgrade/yoxiupgrade.h"
#include "ui/basedialog/basedialog.h"
#include "ui/basedialog/messagebox.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/termsdialog/termsdialog.h"

#include <QDebug>
#include <QPushButton>
#include <QThread>

namespace {
const int forcedUpgrade = 1;
} // namespace

UpgradeFlow::UpgradeFlow(QWidget *window, QPushButton *upgradeButton)
    : window(window), upgradeButton(upgradeButton), upgrade(new YoxiUpgrade(nullptr)),
      upgradeThread(new QThread) {
    // The thread is never started: the check only belongs to it, every call
    // into it is a direct call on the GUI thread.
    upgrade->moveToThread(upgradeThread);
    QObject::connect(upgradeThread, SIGNAL(finished()), upgrade, SLOT(deleteLater()));
}

UpgradeFlow::~UpgradeFlow() {
    delete upgrade;
    delete upgradeThread;
}

void UpgradeFlow::checkAgreement() {
    const QString termFlag = config.getValue(config.termsIsRead, QStringLiteral("false"));
    qDebug() << "termFlag:" << termFlag;
    if (termFlag != QLatin1String("true")) {
        TermsDialog *terms = new TermsDialog(nullptr);
        terms->setModal(true);
        terms->show();
        QObject::connect(terms, SIGNAL(quitNotice(int)), window, SLOT(quitTerms(int)));
        return;
    }
    qDebug() << "checkGrade  termFlag:";
    const QString tag = config.getValue(QStringLiteral("tag"), QStringLiteral("official"));
    const QString version = config.getValue(config.versionCode, QStringLiteral("1.0.0"));
    upgrade->checkGrade(tag, version);
}

void UpgradeFlow::quitTerms(int result) {
    qDebug() << "quitTerms result:" << result;
    if (result != 1) {
        window->close();
        return;
    }
    config.setValue(config.termsIsRead, QStringLiteral("true"));
    qDebug() << "checkGrade  quitTerms:";
    const QString tag = config.getValue(QStringLiteral("tag"), QStringLiteral("official"));
    const QString version = config.getValue(config.versionCode, QStringLiteral("1.0"));
    upgrade->checkGrade(tag, version);
}

void UpgradeFlow::receiveUpgrade(const QString &version, int type) {
    qDebug() << "receiveUpgrade----------------";
    upgradeForced = type == forcedUpgrade;
    upgradeButton->show();
    BaseDialog *prompt = newBox(QStringLiteral("升级"), QStringLiteral("退出"), false);
    prompt->setText(QStringLiteral("发现新版本 ") + version + QStringLiteral("请升级！"));
    prompt->setModal(false);
    const int result = prompt->exec();
    qDebug() << "result---------" << result;
    if (result == 1) {
        doUpgrade();
    } else if (result == 0) {
        if (type == forcedUpgrade) {
            window->close();
        } else {
            upgradeButton->close();
        }
    }
}

void UpgradeFlow::doUpgrade() {
    if (downloadDialog && downloadDialog->isVisible()) {
        // Back as it was, also from minimised: maximising the frameless,
        // masked dialog would only move its picture into the screen's corner.
        downloadDialog->showNormal();
        downloadDialog->raise();
        downloadDialog->activateWindow();
        return;
    }
    // A dialog that has closed is on its way to deleting itself: start afresh.
    downloadDialog = new DownloadDialog(nullptr);
    downloadDialog->startDownload();
    qDebug() << "doUpgrade=======init complete!";
    downloadDialog->show();
    QObject::connect(downloadDialog, SIGNAL(startUpgrade(bool)), window,
                     SLOT(startUpgradeSlot(bool)));
    QObject::connect(downloadDialog, SIGNAL(closeClick()), window, SLOT(closeDownloadDialog()));
    QObject::connect(downloadDialog, SIGNAL(failureDismissed()), window,
                     SLOT(leaveFailedDownload()));
}

void UpgradeFlow::startUpgrade(bool result) {
    if (result) {
        // The installer replaces the program: make room for it.
        window->close();
    }
}

void UpgradeFlow::closeDownloadDialog() {
    downloadDialog = nullptr;
    window->close();
}

// Nothing was downloaded to make way for: the program goes on, unless the
// announced upgrade is forced.
void UpgradeFlow::leaveFailedDownload() {
    downloadDialog = nullptr;
    if (upgradeForced) {
        window->close();
    }
}
