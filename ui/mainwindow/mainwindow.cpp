#include "ui/mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "ui/mainwindow/mainwindowlayout.h"
#include "ui/mainwindow/mainwindowstyles.h"
#include "ui/mainwindow/upgradeflow.h"

#include "api/connect/connectexchange.h"
#include "api/heartbeat/heartutil.h"
#include "api/install/active.h"
#include "api/network/networkutil.h"
#include "api/upgrade/yoxiupgrade.h"
#include "app/display/screenutil.h"
#include "capture/castsession.h"
#include "capture/yoxicapture.h"
#include "ui/basedialog/basedialog.h"
#include "ui/basedialog/messagebox.h"
#include "ui/castingwindow/cancelwindow.h"

#include <QCloseEvent>
#include <QDebug>
#include <QNetworkReply>

using namespace mainwindowstyles;

namespace {
const char *boolText(bool value) {
    return value ? "true" : "false";
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), screen(nullptr) {
    ui->setupUi(this);

    networkUtil = new NetworkUtil(true);
    screen = new ScreenUtil;
    exchange = new ConnectExchange(networkUtil, screen);
    connect(exchange, &ConnectExchange::castTarget, this,
            [this](QByteArray host, int port, int width, int height) {
                session->start(host, port, castCode, width, height);
            });
    connect(exchange, &ConnectExchange::failed, this,
            [this](const QString &text) { showMessage(text, true); });

    const MainWindowLayout layout =
        layOutMainWindow(this, ui, *screen, config.getValue(config.versionCode, QString()));
    homeX = layout.homeX;
    homeY = layout.homeY;
    windowWidth = layout.windowWidth;
    windowHeight = layout.windowHeight;

    isOrigin = config.getValue(QStringLiteral("isOrigin"), QStringLiteral("false"));
    if (isOrigin == QLatin1String("true")) {
        ui->q_radio_origin->setChecked(true);
    }

    connectWidgets();

    session = new CastSession;
    upgradeFlow = new UpgradeFlow(this, ui->q_upgrade);
    upgrade = upgradeFlow->checker();

    connect(session->engine(), SIGNAL(captureResult(bool)), this, SLOT(captureResultNotice(bool)));
    // Engine notifications arrive on engine threads and are queued to this one.
    connect(session->engine(), SIGNAL(cancelResult(int)), this, SLOT(cancelResultNotice(int)));
    cancelWindow = new CancelWindow(nullptr);
    connect(cancelWindow, SIGNAL(cancelCastNoctice()), this, SLOT(quitScreen()));
    // Queued: the prompt waits for the user in a nested event loop, which must
    // not run inside the delivery of the upgrade reply; that reply's watcher
    // releases it after 5 s, and the network layer still uses it after the
    // delivery returns.
    connect(upgrade, SIGNAL(upgradeNotice(QString, int)), this, SLOT(receiveUpgrade(QString, int)),
            Qt::QueuedConnection);
    connect(networkUtil, SIGNAL(networkFinished(QNetworkReply *)), this,
            SLOT(finishedSlot(QNetworkReply *)));
    // Every request this window makes, its own and those of its helpers.
    connect(networkUtil, SIGNAL(requestTimedOut()), this, SLOT(showRequestTimeout()));
    connect(session->heart(), SIGNAL(requestTimedOut()), this, SLOT(showRequestTimeout()));
    connect(upgrade, SIGNAL(requestTimedOut()), this, SLOT(showRequestTimeout()));

    upgradeFlow->checkAgreement();
    active = new Active(nullptr);
    connect(active, SIGNAL(requestTimedOut()), this, SLOT(showRequestTimeout()));
    active->reportActive();
}

MainWindow::~MainWindow() {
    delete session;
    delete exchange;
    delete networkUtil;
    delete cancelWindow;
    delete upgradeFlow;
    // The form goes last: its widgets are watched by eventFilter until now.
    delete ui;
}

void MainWindow::connectWidgets() {
    connect(ui->yoxiCode, SIGNAL(textChanged(QString)), this, SLOT(codeTextChanged(QString)));
    connect(ui->yoxiCode, SIGNAL(returnPressed()), this, SLOT(voteScreen()));
    connect(ui->yoxiCode, SIGNAL(cursorPositionChanged(int, int)), this,
            SLOT(slotCursorPositionChanged(int, int)));
    connect(ui->yoxiButton, SIGNAL(clicked()), this, SLOT(voteScreen()));
    connect(ui->quitcast, SIGNAL(clicked()), this, SLOT(quitScreen()));
    connect(ui->minButton, SIGNAL(clicked()), this, SLOT(minimizeWindow()));
    connect(ui->closeButton, SIGNAL(clicked()), this, SLOT(closeWindow()));
    connect(ui->q_radio_origin, SIGNAL(toggled(bool)), this, SLOT(btnToggled(bool)));
    connect(ui->q_upgrade, SIGNAL(clicked()), this, SLOT(doUpgrade()));
}

void MainWindow::setCastButtonEnabled(bool enabled) {
    styleCastButton(ui->yoxiButton, enabled);
    ui->yoxiButton->setEnabled(enabled);
}

void MainWindow::showMessage(const QString &text, bool modal) {
    showMessageBox(text, modal, true);
}

void MainWindow::codeTextChanged(QString text) {
    qDebug() << "text length:" << text.length();
    ui->yoxiCode->setText(text.toUpper());
    styleCodeField(ui->yoxiCode, !text.isEmpty());
    if (!text.isEmpty()) {
        setCastButtonEnabled(text.length() == castCodeLength);
    }
}

void MainWindow::slotCursorPositionChanged(int oldPosition, int newPosition) {
    qDebug() << "oldPosition :" << oldPosition << "|| newPosition:" << newPosition;
}

void MainWindow::voteScreen() {
    const bool casting = session->isCasting();
    qDebug() << "voteScreen:click:status:" << boolText(casting);
    if (casting) {
        return;
    }
    const QString code = ui->yoxiCode->text();
    if (code.length() != castCodeLength) {
        qDebug() << "voteScreen:yoxiCode:length:" << code.length();
        return;
    }
    ui->yoxiCode->setEnabled(false);
    setCastButtonEnabled(false);
    castCode = code;

    exchange->request(castCode);
}

void MainWindow::finishedSlot(QNetworkReply *reply) {
    ui->yoxiCode->setEnabled(true);
    setCastButtonEnabled(true);
    exchange->readReply(reply, isOrigin == QLatin1String("true"));
}

void MainWindow::captureResultNotice(bool result) {
    if (result) {
        qDebug() << "getCaptureStatus=====end-----" << boolText(session->isCasting());
        if (!session->isCasting()) {
            ui->yoxiCode->setEnabled(false);
            ui->yoxiCode->clear();
            ui->yoxiButton->setEnabled(true);
            ui->yoxiButton->hide();
            ui->yoxiCode->hide();
            ui->editIcon->hide();
            ui->quitcast->show();
            cancelWindow->show();
            ui->q_magnifier->hide();
            showMinimized();
            styleMidPicture(ui->mid, true);
            session->begin();
        }
    } else {
        ui->yoxiCode->setEnabled(true);
        ui->yoxiButton->setEnabled(true);
        showMessage(CastSession::messageFor(PIXPIPE_LINK_LOST), false);
        session->reportFailedStart();
    }
    qDebug() << "MainWindow captureResult:" << boolText(result);
}

void MainWindow::cancelResultNotice(int result) {
    const QString message = CastSession::messageFor(result);
    if (!pixpipeCodeEndsCast(result)) {
        if (!session->isCasting()) {
            // A late warning of a cast that has ended would cover the message
            // of the code that ended it.
            qDebug() << "MainWindow cancelResult after the cast:" << result;
            return;
        }
        // The cast goes on without sound.
        showMessage(message, true);
        qDebug() << "MainWindow cancelResult:" << result;
        return;
    }

    session->releaseEndedCast();
    ui->yoxiCode->setEnabled(true);
    setCastButtonEnabled(true);
    if (!message.isEmpty()) {
        showMessage(message, true);
    }

    if (session->isCasting()) {
        ui->yoxiButton->show();
        ui->yoxiCode->show();
        ui->editIcon->show();
        cancelWindow->hide();
        ui->quitcast->hide();
        ui->q_magnifier->show();
        showMaximized();
        setGeometry(homeX, homeY, width(), height());
        setCastButtonEnabled(false);
        ui->yoxiCode->setEnabled(true);
        styleMidPicture(ui->mid, false);
        session->end(result);
    }
    qDebug() << "MainWindow cancelResult:" << result;
}

void MainWindow::quitScreen() {
    const bool casting = session->isCasting();
    qDebug() << "quitScreen:status:" << boolText(casting);
    if (casting) {
        session->quit();
    } else {
        cancelResultNotice(PIXPIPE_RECEIVER_QUIT);
    }
}

void MainWindow::closeEvent(QCloseEvent *event) {
    qDebug() << "captureStatus.getCaptureStatus()=====" << boolText(session->isCasting());
    if (session->isCasting()) {
        cancelWindow->close();
        // The program is ending: no disconnect is reported.
        session->stopForExit();
    }
    qDebug() << "close=====end-----";
    event->accept();
}

void MainWindow::closeWindow() {
    qDebug() << "closeWindow----------------:";
    BaseDialog *confirm = newBox(QStringLiteral("确定"), QStringLiteral("取消"), true);
    const int result = confirm->exec();
    qDebug() << "result---------" << result;
    if (result == 1) {
        close();
    }
}

void MainWindow::showRequestTimeout() {
    showRequestTimeoutBox();
}

void MainWindow::minimizeWindow() {
    qDebug() << "minWindow----------------:";
    showMinimized();
}

void MainWindow::btnToggled(bool result) {
    isOrigin = result ? QStringLiteral("true") : QStringLiteral("false");
    config.setValue(QStringLiteral("isOrigin"), isOrigin);
}

void MainWindow::quitTerms(int result) {
    upgradeFlow->quitTerms(result);
}

void MainWindow::receiveUpgrade(QString version, int type) {
    upgradeFlow->receiveUpgrade(version, type);
}

void MainWindow::doUpgrade() {
    upgradeFlow->doUpgrade();
}

void MainWindow::startUpgradeSlot(bool result) {
    upgradeFlow->startUpgrade(result);
}

void MainWindow::closeDownloadDialog() {
    upgradeFlow->closeDownloadDialog();
}

void MainWindow::leaveFailedDownload() {
    upgradeFlow->leaveFailedDownload();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    hoverPopups.handle(watched, event);
    return false;
}
