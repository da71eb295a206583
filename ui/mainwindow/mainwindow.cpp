#include "ui/mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "app/display/RoundedMask.h"
#include "app/display/ScreenUtil.h"

#include <QDebug>

namespace {
// Placeholders until the maker's support number and web site are settled.
const char placeholderSupportQQ[] = "800000000";
const char placeholderMakerWebsite[] = "https://www.lanqi-wuxian.example/";

const qreal cornerRadius = 10.0;
const int edgeMargin = 20;

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
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui::MainWindow), screenUtil(new ScreenUtil) {
    ui->setupUi(this);
    sizeToScreen();

    const int windowWidth = width();
    const int windowHeight = height();
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
}

MainWindow::~MainWindow() {
    delete ui;
}

void MainWindow::sizeToScreen() {
    setWindowFlags(Qt::FramelessWindowHint);

    const int screenWidth = screenUtil->getScreenWidth();
    const int screenHeight = screenUtil->getScreenHeight();
    const int windowWidth = screenWidth / 5 * 2;
    const int windowHeight = screenHeight / 2;
    setFixedSize(windowWidth, windowHeight);
    qDebug() << "Screen windowWidth===" << windowWidth;
    qDebug() << "Screen windowHeight===" << windowHeight;

    setStyleSheet(QStringLiteral("#centralwidget{background: #EFF1FB;}"));
    move((screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2);
    setMask(roundedMask(size(), cornerRadius));
}

void MainWindow::placeCodeEntry(int midY, int midHeight) {
    QLineEdit *code = ui->yoxiCode;
    const int codeX = (width() - code->width()) / 2;
    const int codeY = midY + midHeight + 30;
    code->move(codeX, codeY);
    code->setEnabled(true);
    code->setMaxLength(6);
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
    help->setStyleSheet(QStringLiteral("QLabel{color: #B5BFCE;}"));
    help->installEventFilter(this);
    const int helpX = width() - help->width() - edgeMargin;
    const int helpY = height() - help->height() - 18;
    qDebug() << "ui->help size = " << help->width() << "; this->width() = " << width()
             << "; x===" << helpX;

    QLabel *sign = ui->helpSign;
    sign->setStyleSheet(QStringLiteral(
        "QLabel{background-image: url(:images/help.png);background-repeat: no-repeat;}"));
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
    version->setText(QStringLiteral("V ") + configUtil.getValue(configUtil.versionCode, QString()));
    version->adjustSize();
    const int verX = signX - version->width() - 10;
    const int verY = signY + sign->height() / 2 - version->height() / 2;
    version->move(verX, verY);
    qDebug() << "qVersionY = " << verY;
    qDebug() << "ui->q_version->height() = " << version->height();
    qDebug() << "helpSignY = " << signY;
    qDebug() << "ui->helpSign->height()/2 = " << sign->height() / 2;

    QPushButton *upgrade = ui->q_upgrade;
    upgrade->setStyleSheet(QStringLiteral("QPushButton{border-image: url(:images/upgrade.png);}"));
    upgrade->hide();
    upgrade->installEventFilter(this);
    upgrade->move(verX - upgrade->width() - 10,
                  verY + version->height() / 2 - upgrade->height() / 2);

    ui->q_grade_tip->hide();
    ui->q_polygon->hide();

    QTextBrowser *content = ui->helpContent;
    content->setFont(pingFangFont(content->font(), 12));
    content->setStyleSheet(QStringLiteral(
        "QTextBrowser{border-image:url(:images/helpbg.png);color: #8E9BAF;line-height:17px;}"));
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
