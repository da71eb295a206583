#include "ui/mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "api/heartbeat/heartutil.h"
#include "api/install/active.h"
#include "api/network/logtext.h"
#include "api/network/networkutil.h"
#include "api/network/replyfields.h"
#include "api/network/showntext.h"
#include "api/upgrade/yoxiupgrade.h"
#include "app/display/roundedmask.h"
#include "app/display/screenutil.h"
#include "capture/yoxicapture.h"
#include "ui/basedialog/basedialog.h"
#include "ui/castingwindow/cancelwindow.h"
#include "ui/common/textlines.h"
#include "ui/downloaddialog/downloaddialog.h"
#include "ui/termsdialog/termsdialog.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QTextDocument>
#include <QThread>
#include <QtMath>

namespace {
// Placeholders until the maker's support number and web site are settled.
const char placeholderSupportQQ[] = "800000000";
const char placeholderMakerWebsite[] = "https://www.lanqi-wuxian.example/";

const qreal cornerRadius = 10.0;
const int edgeMargin = 20;
// The top margin of every paragraph of the help text.
const int helpParagraphSpacing = 7;

const char castButtonDisabledStyle[] =
    "QPushButton{color: rgba(255, 255, 255, 0.6);border-image:url(:images/buttonbg.png);"
    "font-size:12px;padding-bottom:5px;}";
const char castButtonEnabledStyle[] =
    "QPushButton{color: white;border-image:url(:images/buttonbg.png);font-size:12px;"
    "padding-bottom:5px;}";
const char codeTypedStyle[] = "QLineEdit{border-image:url(:images/codebg.png);color: #6176FF}";
const char codeEmptyStyle[] = "QLineEdit{border-image:url(:images/codebg.png);color: #9EABBD}";
const char midCastingStyle[] = "QLabel{image: url(:images/cancel_mid.png)}";
const char midIdleStyle[] = "QLabel{image: url(:images/mid.png)}";
const char helpSignStyle[] =
    "QLabel{background-image: url(:images/help.png);background-repeat: no-repeat;}";
const char helpSignHoverStyle[] =
    "QLabel{background-image: url(:images/help_press.png);background-repeat: no-repeat;}";
const char helpStyle[] = "QLabel{color: #B5BFCE;}";
const char helpHoverStyle[] = "QLabel{color: #6176FF;}";

const int castCodeLength = 6;
const int firstAudioFailure = 1005;
const int lastAudioFailure = 1011;
const int forcedUpgrade = 1;

QFont pingFangFont(const QFont &base, int pixelSize) {
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setFamily(QStringLiteral("PingFang SC"));
    font.setStyle(QFont::StyleNormal);
    return font;
}

QString helpParagraph(const QString &content) {
    return QStringLiteral(
               "<p style=\" margin-top:7px; margin-bottom:0px; margin-left:20px; "
               "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><img "
               "src=\":/images/dot.png\" /><span style=\" font-size:13px;\">%1</span></p>")
        .arg(content);
}

const char *boolText(bool value) {
    return value ? "true" : "false";
}

QString nowMilliseconds() {
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), screen(nullptr) {
    ui->setupUi(this);

    heartUtil = new HeartUtil(nullptr);
    networkUtil = new NetworkUtil(true);
    screen = new ScreenUtil;

    sizeToScreen();

    const int midWidth = windowWidth / 7 * 4;
    const int midHeight = windowHeight / 7 * 5;
    const int midX = (windowWidth - midWidth) / 2;
    // The mid picture sits higher than centred: the width, not the height, is
    // taken off the window height.
    const int midY = (windowHeight - midWidth) / 4;
    ui->mid->setGeometry(midX, midY, midWidth, midHeight);
    qDebug() << "Screen midWidth===" << midWidth;
    qDebug() << "Screen midHeight===" << midHeight;
    qDebug() << "midX===" << midX;

    ui->q_magnifier->move(midX + midWidth - 60, midY + 70);
    placeCodeEntry(midY, midHeight);
    placeCornerWidgets();
    placeBottomRow();

    isOrigin = config.getValue(QStringLiteral("isOrigin"), QStringLiteral("false"));
    if (isOrigin == QLatin1String("true")) {
        ui->q_radio_origin->setChecked(true);
    }

    connectWidgets();

    // Neither thread is ever started: the objects only belong to them, every
    // call into them is a direct call on this (the GUI) thread.
    capture = new YoxiCapture(nullptr);
    captureThread = new QThread;
    capture->moveToThread(captureThread);
    connect(captureThread, SIGNAL(finished()), capture, SLOT(deleteLater()));
    upgrade = new YoxiUpgrade(nullptr);
    upgradeThread = new QThread;
    upgrade->moveToThread(upgradeThread);
    connect(upgradeThread, SIGNAL(finished()), upgrade, SLOT(deleteLater()));

    connect(capture, SIGNAL(captureResult(bool)), this, SLOT(captureResultNotice(bool)));
    // Engine notifications arrive on engine threads and are queued to this one.
    connect(capture, SIGNAL(cancelResult(int)), this, SLOT(cancelResultNotice(int)));
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

    checkAgreement();
    active = new Active(nullptr);
    active->reportActive();
}

MainWindow::~MainWindow() {
    delete heartUtil;
    delete networkUtil;
    delete capture;
    delete cancelWindow;
    delete upgrade;
    delete upgradeThread;
    captureThread->quit();
    delete captureThread;
    // The form goes last: its widgets are watched by eventFilter until now.
    delete ui;
}

void MainWindow::sizeToScreen() {
    setWindowFlags(Qt::FramelessWindowHint);

    const int screenWidth = screen->getScreenWidth();
    const int screenHeight = screen->getScreenHeight();
    windowWidth = screenWidth / 5 * 2;
    windowHeight = screenHeight / 2;
    setFixedSize(windowWidth, windowHeight);
    qDebug() << "Screen windowWidth===" << windowWidth;
    qDebug() << "Screen windowHeight===" << windowHeight;

    setStyleSheet(QStringLiteral("#centralwidget{background: #EFF1FB;}"));
    homeX = (screenWidth - windowWidth) / 2;
    homeY = (screenHeight - windowHeight) / 2;
    move(homeX, homeY);
    setMask(roundedMask(size(), cornerRadius));
}

void MainWindow::placeCodeEntry(int midY, int midHeight) {
    QLineEdit *code = ui->yoxiCode;
    const int codeX = (width() - code->width()) / 2;
    const int codeY = midY + midHeight + 30;
    code->move(codeX, codeY);
    code->setEnabled(true);
    code->setMaxLength(castCodeLength);
    code->setPlaceholderText(QStringLiteral("请输入六位投屏码"));
    code->setAttribute(Qt::WA_InputMethodEnabled, false);
    code->setAttribute(Qt::WA_MacShowFocusRect, false);
    QFont codeFont = pingFangFont(code->font(), 12);
    codeFont.setWeight(QFont::Normal);
    code->setFont(codeFont);
    code->setStyleSheet(
        QStringLiteral("QLineEdit{border-image:url(:images/codebg.png);color: #9EABBD;}"));

    QLabel *icon = ui->editIcon;
    icon->move(codeX + 12, codeY + (code->height() - icon->height()) / 2);
    const int leftMargin = icon->width() + 22;
    code->setTextMargins(leftMargin, 1, 1, 1);
    qDebug() << "marSize=====" << leftMargin;

    QPushButton *button = ui->yoxiButton;
    button->move(codeX + code->width() - button->width() - 6,
                 codeY + (code->height() - button->height()) / 2 + 2);

    ui->quitcast->move((width() - ui->quitcast->width()) / 2, midY + midHeight + 45);
    ui->quitcast->hide();
}

void MainWindow::placeCornerWidgets() {
    fitHeightToText(ui->q_radio_origin);
    fitHeightToText(ui->q_radio_fullscreen);
    const int radioY = height() - ui->q_radio_origin->height() - edgeMargin;
    ui->q_radio_origin->move(edgeMargin, radioY);
    ui->q_radio_fullscreen->move(ui->q_radio_origin->width() + 30, radioY);

    const int closeX = width() - ui->closeButton->width() - edgeMargin;
    ui->closeButton->move(closeX, 11);
    ui->closeButton->setToolTip(QStringLiteral("关闭"));
    ui->closeButton->setStyleSheet(
        QStringLiteral("QPushButton{background-image: url(:images/close.png);background-repeat: "
                       "no-repeat;border:none;}QPushButton:hover{background-image: "
                       "url(:images/close_press.png);background-repeat: no-repeat;border:none;}"));

    ui->minButton->move(closeX - ui->minButton->width() - 10, 11);
    ui->minButton->setToolTip(QStringLiteral("最小化"));
    ui->minButton->setStyleSheet(QStringLiteral(
        "QPushButton{background-image: url(:images/minimize.png);background-repeat: "
        "no-repeat;border:none;}QPushButton:hover{background-image: "
        "url(:images/minimize_press.png);background-repeat: no-repeat;border:none;}"));
}

void MainWindow::placeBottomRow() {
    QLabel *help = ui->help;
    help->setFont(pingFangFont(help->font(), 12));
    help->setStyleSheet(QLatin1String(helpStyle));
    fitHeightToText(help);
    help->installEventFilter(this);
    const int helpX = width() - help->width() - edgeMargin;
    const int helpY = height() - help->height() - 18;
    qDebug() << "ui->help size = " << help->width() << "; this->width() = " << width()
             << "; x===" << helpX;

    QLabel *sign = ui->helpSign;
    sign->setStyleSheet(QLatin1String(helpSignStyle));
    sign->installEventFilter(this);
    ui->helpContent->hide();
    ui->helpContent->installEventFilter(this);
    installEventFilter(this);
    appendHelpContacts();
    help->move(helpX, helpY);
    const int signX = helpX - sign->width() - 7;
    const int signY = helpY + help->height() / 2 - sign->height() / 2;
    sign->move(signX, signY);

    QLabel *version = ui->q_version;
    version->setFont(pingFangFont(version->font(), 12));
    version->setText(QStringLiteral("V ") + config.getValue(config.versionCode, QString()));
    version->adjustSize();
    const int verX = signX - version->width() - 10;
    const int verY = signY + sign->height() / 2 - version->height() / 2;
    version->move(verX, verY);
    qDebug() << "qVersionY = " << verY;
    qDebug() << "ui->q_version->height() = " << version->height();
    qDebug() << "helpSignY = " << signY;
    qDebug() << "ui->helpSign->height()/2 = " << sign->height() / 2;

    QPushButton *upgradeButton = ui->q_upgrade;
    upgradeButton->setStyleSheet(
        QStringLiteral("QPushButton{border-image: url(:images/upgrade.png);}"));
    upgradeButton->hide();
    upgradeButton->installEventFilter(this);
    upgradeButton->move(verX - upgradeButton->width() - 10,
                        verY + version->height() / 2 - upgradeButton->height() / 2);

    ui->q_grade_tip->hide();
    ui->q_polygon->hide();

    QTextBrowser *content = ui->helpContent;
    content->setFont(pingFangFont(content->font(), 12));
    content->setStyleSheet(QStringLiteral(
        "QTextBrowser{border-image:url(:images/helpbg.png);color: #8E9BAF;line-height:17px;}"));
    fitHelpContent();
    content->move(width() - content->width() - edgeMargin, helpY - content->height() - 10);
}

void MainWindow::appendHelpContacts() {
    ui->helpContent->append(helpParagraph(QStringLiteral("疑难问题与企业版咨询QQ：") +
                                          QLatin1String(placeholderSupportQQ)));
    ui->helpContent->append(helpParagraph(
        QStringLiteral("更多使用帮助请参考：<a href=\"%1\"><span style=\" text-decoration: none; "
                       "color:#0068da;\">岚栖无限官网</span></a>")
            .arg(QLatin1String(placeholderMakerWebsite))));
}

// The popup shows its whole text: it never scrolls, and it is as tall as its
// document needs at its width, with a paragraph's spacing under the last line
// so that the text stays clear of the rounded bottom edge.
void MainWindow::fitHelpContent() {
    QTextBrowser *content = ui->helpContent;
    content->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content->ensurePolished();
    const QRect textArea = content->contentsRect();
    QTextDocument *document = content->document();
    document->setTextWidth(textArea.width());
    const int needed = qCeil(document->size().height()) + helpParagraphSpacing + content->height() -
                       textArea.height();
    if (content->height() < needed) {
        content->resize(content->width(), needed);
    }
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

void MainWindow::checkAgreement() {
    const QString termFlag = config.getValue(config.termsIsRead, QStringLiteral("false"));
    qDebug() << "termFlag:" << termFlag;
    if (termFlag != QLatin1String("true")) {
        TermsDialog *terms = new TermsDialog(nullptr);
        terms->setModal(true);
        terms->show();
        connect(terms, SIGNAL(quitNotice(int)), this, SLOT(quitTerms(int)));
        return;
    }
    qDebug() << "checkGrade  termFlag:";
    const QString tag = config.getValue(QStringLiteral("tag"), QStringLiteral("official"));
    const QString version = config.getValue(config.versionCode, QStringLiteral("1.0.0"));
    upgrade->checkGrade(tag, version);
}

void MainWindow::setCastButtonEnabled(bool enabled) {
    ui->yoxiButton->setStyleSheet(
        QLatin1String(enabled ? castButtonEnabledStyle : castButtonDisabledStyle));
    ui->yoxiButton->setEnabled(enabled);
}

void MainWindow::showMessage(const QString &text, bool modal) {
    BaseDialog *box = new BaseDialog(nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setButtons(true, QStringLiteral("确定"), false, QString());
    box->setTitleButtons(true, false);
    box->setText(text);
    box->setModal(modal);
    box->show();
}

void MainWindow::codeTextChanged(QString text) {
    qDebug() << "text length:" << text.length();
    QLineEdit *code = ui->yoxiCode;
    code->setText(text.toUpper());

    QFont font = code->font();
    font.setStyle(QFont::StyleNormal);
    if (!text.isEmpty()) {
        font.setPixelSize(19);
        font.setFamily(QStringLiteral("Consolas"));
        font.setWeight(99);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
        code->setFont(font);
        code->setStyleSheet(QLatin1String(codeTypedStyle));
        setCastButtonEnabled(text.length() == castCodeLength);
    } else {
        font.setPixelSize(12);
        font.setFamily(QStringLiteral("PingFang SC"));
        font.setWeight(QFont::Normal);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
        code->setFont(font);
        code->setStyleSheet(QLatin1String(codeEmptyStyle));
    }
}

void MainWindow::slotCursorPositionChanged(int oldPosition, int newPosition) {
    qDebug() << "oldPosition :" << oldPosition << "|| newPosition:" << newPosition;
}

void MainWindow::voteScreen() {
    const bool casting = captureStatus.getCaptureStatus();
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

    networkUtil->clearPara();
    networkUtil->insertPara(QStringLiteral("code"), castCode);
    networkUtil->insertPara(QStringLiteral("timestamp"), nowMilliseconds());
    networkUtil->insertPara(QStringLiteral("type"), networkUtil->systemType);
    networkUtil->insertPara(QStringLiteral("resolution"), screen->getScreenSize());
    networkUtil->insertPara(QStringLiteral("bitRate"), QStringLiteral("1300"));
    networkUtil->insertPara(QStringLiteral("frameRate"), QStringLiteral("15"));
    networkUtil->createSign();
    QString url = config.getServerUrl() + networkUtil->connectPath;
    networkUtil->sendPostRequest(url);
}

void MainWindow::finishedSlot(QNetworkReply *reply) {
    ui->yoxiCode->setEnabled(true);
    setCastButtonEnabled(true);

    if (reply->error() != QNetworkReply::NoError) {
        showMessage(QStringLiteral("服务器连接失败，请检查网络"), true);
        qDebug() << "finishedSlot errors here";
        qDebug("found error .... code: %d\n", static_cast<int>(reply->error()));
        qDebug() << "deleteLater ===";
        return;
    }

    const QByteArray body = reply->readAll();
    // Text up to the first zero byte, as a C string would read it.
    const QString text =
        QString::fromUtf8(body.constData(), qstrnlen(body.constData(), body.size()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qDebug() << reply->url() << "  返回内容解析出错：" << logText(text);
        return;
    }
    const QJsonObject object = document.object();
    qDebug() << "返回内容："
             << logText(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented)));
    const int code = object.value(QStringLiteral("code")).toInt(0);
    qDebug() << "code=" << code;
    if (code != 200) {
        // A "msg" that is no text says nothing: the flow's own message instead.
        const QJsonValue msg = object.value(QStringLiteral("msg"));
        showMessage(msg.isString() ? shownText(msg.toString())
                                   : QStringLiteral("服务器连接失败，请检查网络"),
                    true);
        qDebug() << "deleteLater ===";
        return;
    }

    const QJsonObject data = object.value(QStringLiteral("data")).toObject();
    ConnectTarget target;
    QString unusable;
    const bool usable = readConnectTarget(data, &target, &unusable);
    QByteArray host = target.ip.toLatin1();
    qDebug() << "ip=" << logText(target.ip);
    qDebug() << "port=" << target.port;
    qDebug() << "ip.toLatin1().data()=" << logText(QString::fromLatin1(host));
    if (!usable) {
        qDebug() << unusable
                 << logText(QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)));
        showMessage(QStringLiteral("服务器连接失败，请检查网络"), true);
        return;
    }
    const int port = target.port;
    int width = target.width;
    int height = target.height;
    qDebug() << "width before ===" << width;
    qDebug() << "height before ===" << height;

    if (isOrigin == QLatin1String("true")) {
        ratioUtil.fitRatio(screen->getScreenWidth(), screen->getScreenHeight(), width, height);
        width = ratioUtil.getFitWidth();
        height = ratioUtil.getFitHeight();
    }
    qDebug() << "width after ===" << width << "windowWidth==" << screen->getScreenWidth();
    qDebug() << "height after ===" << height << "windowHeight==" << screen->getScreenHeight();

    QByteArray code8 = castCode.toLatin1();
    capture->startCapture(host.data(), port, code8.data(), width, height);
    qDebug() << "deleteLater ===";
}

void MainWindow::captureResultNotice(bool result) {
    if (result) {
        qDebug() << "getCaptureStatus=====end-----" << boolText(captureStatus.getCaptureStatus());
        if (!captureStatus.getCaptureStatus()) {
            captureStatus.changeStatus();
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
            ui->mid->setStyleSheet(QLatin1String(midCastingStyle));
            heartUtil->startHeart(castCode);
        }
    } else {
        ui->yoxiCode->setEnabled(true);
        ui->yoxiButton->setEnabled(true);
        showMessage(QStringLiteral("TV端连接失败，请检查网络"), false);
        // The server paired this code with the receiver: tell it the cast is off.
        heartUtil->reportDisconnect(castCode, QStringLiteral("-1"));
    }
    qDebug() << "MainWindow captureResult:" << boolText(result);
}

void MainWindow::cancelResultNotice(int result) {
    if (result >= firstAudioFailure && result <= lastAudioFailure) {
        // The cast goes on without sound.
        showMessage(QStringLiteral("音频异常（%1），请联系客服").arg(result), true);
        qDebug() << "MainWindow cancelResult:" << result;
        return;
    }

    // The engine has ended this cast itself; free it now.
    capture->releaseEndedCast();
    ui->yoxiCode->setEnabled(true);
    setCastButtonEnabled(true);
    if (result == -1) {
        showMessage(QStringLiteral("TV端连接失败，请检查网络"), true);
    } else if (result != 0) {
        showMessage(QStringLiteral("投屏异常（%1），请联系客服").arg(result), true);
    }

    if (captureStatus.getCaptureStatus()) {
        captureStatus.changeStatus();
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
        ui->mid->setStyleSheet(QLatin1String(midIdleStyle));
        heartUtil->stopHeart(QString::number(result));
    }
    qDebug() << "MainWindow cancelResult:" << result;
}

void MainWindow::quitScreen() {
    const bool casting = captureStatus.getCaptureStatus();
    qDebug() << "quitScreen:status:" << boolText(casting);
    if (casting) {
        // cancelResult(0) comes back on this call stack and ends the cast.
        capture->stopCapture(true);
    } else {
        cancelResultNotice(0);
    }
}

void MainWindow::closeEvent(QCloseEvent *event) {
    qDebug() << "captureStatus.getCaptureStatus()====="
             << boolText(captureStatus.getCaptureStatus());
    if (captureStatus.getCaptureStatus()) {
        cancelWindow->close();
        capture->stopCapture(false);
        // The program is ending: no disconnect is reported. The cast counts as
        // over, so an engine notification still queued from before the stop
        // neither reports a disconnect nor brings the window back.
        captureStatus.changeStatus();
    }
    qDebug() << "close=====end-----";
    event->accept();
}

void MainWindow::closeWindow() {
    qDebug() << "closeWindow----------------:";
    BaseDialog *confirm = new BaseDialog(nullptr);
    confirm->setAttribute(Qt::WA_DeleteOnClose);
    confirm->setButtons(true, QStringLiteral("确定"), true, QStringLiteral("取消"));
    confirm->setTitleButtons(true, false);
    const int result = confirm->exec();
    qDebug() << "result---------" << result;
    if (result == 1) {
        close();
    }
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
    qDebug() << "quitTerms result:" << result;
    if (result != 1) {
        close();
        return;
    }
    config.setValue(config.termsIsRead, QStringLiteral("true"));
    qDebug() << "checkGrade  quitTerms:";
    const QString tag = config.getValue(QStringLiteral("tag"), QStringLiteral("official"));
    const QString version = config.getValue(config.versionCode, QStringLiteral("1.0"));
    upgrade->checkGrade(tag, version);
}

void MainWindow::receiveUpgrade(QString version, int type) {
    qDebug() << "receiveUpgrade----------------";
    upgradeForced = type == forcedUpgrade;
    ui->q_upgrade->show();
    BaseDialog *prompt = new BaseDialog(nullptr);
    prompt->setAttribute(Qt::WA_DeleteOnClose);
    prompt->setButtons(true, QStringLiteral("升级"), true, QStringLiteral("退出"));
    prompt->setTitleButtons(false, false);
    prompt->setText(QStringLiteral("发现新版本 ") + version + QStringLiteral("请升级！"));
    prompt->setModal(false);
    const int result = prompt->exec();
    qDebug() << "result---------" << result;
    if (result == 1) {
        doUpgrade();
    } else if (result == 0) {
        if (type == forcedUpgrade) {
            close();
        } else {
            ui->q_upgrade->close();
        }
    }
}

void MainWindow::doUpgrade() {
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
    connect(downloadDialog, SIGNAL(startUpgrade(bool)), this, SLOT(startUpgradeSlot(bool)));
    connect(downloadDialog, SIGNAL(closeClick()), this, SLOT(closeDownloadDialog()));
    connect(downloadDialog, SIGNAL(failureDismissed()), this, SLOT(leaveFailedDownload()));
}

void MainWindow::startUpgradeSlot(bool result) {
    if (result) {
        // The installer replaces the program: make room for it.
        close();
    }
}

void MainWindow::closeDownloadDialog() {
    downloadDialog = nullptr;
    close();
}

// Nothing was downloaded to make way for: the program goes on, unless the
// announced upgrade is forced.
void MainWindow::leaveFailedDownload() {
    downloadDialog = nullptr;
    if (upgradeForced) {
        close();
    }
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (watched == this) {
        if (type == QEvent::MouseButtonPress) {
            // Takes the focus from the help popup, which then hides.
            setFocus(Qt::OtherFocusReason);
        }
    } else if (watched == ui->help || watched == ui->helpSign) {
        if (type == QEvent::Enter) {
            ui->helpSign->setStyleSheet(QLatin1String(helpSignHoverStyle));
            if (ui->helpContent->isHidden()) {
                ui->helpContent->show();
                ui->helpContent->setFocus();
            }
            ui->help->setStyleSheet(QLatin1String(helpHoverStyle));
        } else if (type == QEvent::Leave) {
            ui->help->setStyleSheet(QLatin1String(helpStyle));
            ui->helpSign->setStyleSheet(QLatin1String(helpSignStyle));
        }
    } else if (watched == ui->helpContent) {
        if (type == QEvent::FocusOut && ui->helpContent->isVisible()) {
            ui->helpContent->hide();
        }
    } else if (watched == ui->q_upgrade) {
        if (type == QEvent::Enter) {
            showUpgradeTip();
        } else if (type == QEvent::Leave) {
            hideUpgradeTip();
        }
    }
    return false;
}

void MainWindow::showUpgradeTip() {
    QLabel *tip = ui->q_grade_tip;
    QLabel *arrow = ui->q_polygon;
    const QRect button = ui->q_upgrade->geometry();
    tip->setText(QStringLiteral("新版本V") + config.getValue(config.newVersionCode, QString()));
    tip->setFont(pingFangFont(tip->font(), 9));

    // The arrow's bottom row is 9 pixels above the button, the tip's bottom
    // row two pixels below the arrow's top row; both centred on the button.
    const int arrowX = button.x() + button.width() / 2 - arrow->width() / 2;
    const int arrowY = button.y() - 9 - arrow->height() + 1;
    arrow->move(arrowX, arrowY);
    arrow->show();
    const int tipX = button.x() + button.width() / 2 - tip->width() / 2;
    const int tipY = arrowY + 2 - tip->height() + 1;
    tip->move(tipX, tipY);
    tip->show();
}

void MainWindow::hideUpgradeTip() {
    if (ui->q_grade_tip->isVisible()) {
        ui->q_grade_tip->hide();
        ui->q_polygon->hide();
    }
}

void MainWindow::moveByMouse(const QPoint &globalPos) {
    move(x() + globalPos.x() - lastMouseX, y() + globalPos.y() - lastMouseY);
    lastMouseX = globalPos.x();
    lastMouseY = globalPos.y();
}

void MainWindow::mousePressEvent(QMouseEvent *e) {
    dragging = true;
    lastMouseX = e->globalPos().x();
    lastMouseY = e->globalPos().y();
}

void MainWindow::mouseMoveEvent(QMouseEvent *e) {
    if (dragging) {
        moveByMouse(e->globalPos());
    }
}

void MainWindow::mouseReleaseEvent(QMouseEvent *e) {
    // A release that no press on this window started (say the press closed a
    // dialog above it) has no drag origin; moving by it would make the window jump.
    if (dragging) {
        moveByMouse(e->globalPos());
    }
    dragging = false;
}
