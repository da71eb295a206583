#include "ui/mainwindow/mainwindowlayout.h"
#include "ui_mainwindow.h"

#include "app/display/roundedmask.h"
#include "app/display/screenutil.h"
#include "ui/common/fonts.h"
#include "ui/common/textlines.h"
#include "ui/mainwindow/mainwindowstyles.h"

#include <QDebug>
#include <QMainWindow>
#include <QTextDocument>
#include <QtMath>

using namespace mainwindowstyles;

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

QString helpParagraph(const QString &content) {
    return QStringLiteral(
               "<p style=\" margin-top:7px; margin-bottom:0px; margin-left:20px; "
               "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><img "
               "src=\":/images/dot.png\" /><span style=\" font-size:13px;\">%1</span></p>")
        .arg(content);
}

MainWindowLayout sizeToScreen(QMainWindow *window, const ScreenUtil &screen) {
    MainWindowLayout layout;
    window->setWindowFlags(Qt::FramelessWindowHint);

    const int screenWidth = screen.getScreenWidth();
    const int screenHeight = screen.getScreenHeight();
    layout.windowWidth = screenWidth / 5 * 2;
    layout.windowHeight = screenHeight / 2;
    window->setFixedSize(layout.windowWidth, layout.windowHeight);
    qDebug() << "Screen windowWidth===" << layout.windowWidth;
    qDebug() << "Screen windowHeight===" << layout.windowHeight;

    window->setStyleSheet(QStringLiteral("#centralwidget{background: #EFF1FB;}"));
    layout.homeX = (screenWidth - layout.windowWidth) / 2;
    layout.homeY = (screenHeight - layout.windowHeight) / 2;
    window->move(layout.homeX, layout.homeY);
    window->setMask(roundedMask(window->size(), cornerRadius));
    return layout;
}

void placeCodeEntry(QMainWindow *window, Ui::MainWindow *ui, int midY, int midHeight) {
    QLineEdit *code = ui->yoxiCode;
    const int codeX = (window->width() - code->width()) / 2;
    const int codeY = midY + midHeight + 30;
    code->move(codeX, codeY);
    code->setEnabled(true);
    code->setMaxLength(castCodeLength);
    code->setPlaceholderText(QStringLiteral("请输入六位投屏码"));
    code->setAttribute(Qt::WA_InputMethodEnabled, false);
    code->setAttribute(Qt::WA_MacShowFocusRect, false);
    code->setFont(pingFangFont(code->font(), 12));
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

    ui->quitcast->move((window->width() - ui->quitcast->width()) / 2, midY + midHeight + 45);
    ui->quitcast->hide();
}

void placeCornerWidgets(QMainWindow *window, Ui::MainWindow *ui) {
    fitHeightToText(ui->q_radio_origin);
    fitHeightToText(ui->q_radio_fullscreen);
    const int radioY = window->height() - ui->q_radio_origin->height() - edgeMargin;
    ui->q_radio_origin->move(edgeMargin, radioY);
    ui->q_radio_fullscreen->move(ui->q_radio_origin->width() + 30, radioY);

    const int closeX = window->width() - ui->closeButton->width() - edgeMargin;
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

void appendHelpContacts(Ui::MainWindow *ui) {
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
void fitHelpContent(Ui::MainWindow *ui) {
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

void placeBottomRow(QMainWindow *window, Ui::MainWindow *ui, const QString &versionText) {
    QLabel *help = ui->help;
    help->setFont(pingFangFont(help->font(), 12));
    help->setStyleSheet(QLatin1String(helpStyle));
    fitHeightToText(help);
    help->installEventFilter(window);
    const int helpX = window->width() - help->width() - edgeMargin;
    const int helpY = window->height() - help->height() - 18;
    qDebug() << "ui->help size = " << help->width() << "; this->width() = " << window->width()
             << "; x===" << helpX;

    QLabel *sign = ui->helpSign;
    sign->setStyleSheet(QLatin1String(helpSignStyle));
    sign->installEventFilter(window);
    ui->helpContent->hide();
    ui->helpContent->installEventFilter(window);
    window->installEventFilter(window);
    appendHelpContacts(ui);
    help->move(helpX, helpY);
    const int signX = helpX - sign->width() - 7;
    const int signY = helpY + help->height() / 2 - sign->height() / 2;
    sign->move(signX, signY);

    QLabel *version = ui->q_version;
    version->setFont(pingFangFont(version->font(), 12));
    version->setText(QStringLiteral("V ") + versionText);
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
    upgradeButton->installEventFilter(window);
    upgradeButton->move(verX - upgradeButton->width() - 10,
                        verY + version->height() / 2 - upgradeButton->height() / 2);

    ui->q_grade_tip->hide();
    ui->q_polygon->hide();

    QTextBrowser *content = ui->helpContent;
    content->setFont(pingFangFont(content->font(), 12));
    content->setStyleSheet(QStringLiteral(
        "QTextBrowser{border-image:url(:images/helpbg.png);color: #8E9BAF;line-height:17px;}"));
    fitHelpContent(ui);
    content->move(window->width() - content->width() - edgeMargin, helpY - content->height() - 10);
}

} // namespace

MainWindowLayout layOutMainWindow(QMainWindow *window, Ui::MainWindow *ui, const ScreenUtil &screen,
                                  const QString &versionText) {
    const MainWindowLayout layout = sizeToScreen(window, screen);

    const int midWidth = layout.windowWidth / 7 * 4;
    const int midHeight = layout.windowHeight / 7 * 5;
    const int midX = (layout.windowWidth - midWidth) / 2;
    // The mid picture sits higher than centred: the width, not the height, is
    // taken off the window height.
    const int midY = (layout.windowHeight - midWidth) / 4;
    ui->mid->setGeometry(midX, midY, midWidth, midHeight);
    qDebug() << "Screen midWidth===" << midWidth;
    qDebug() << "Screen midHeight===" << midHeight;
    qDebug() << "midX===" << midX;

    ui->q_magnifier->move(midX + midWidth - 60, midY + 70);
    placeCodeEntry(window, ui, midY, midHeight);
    placeCornerWidgets(window, ui);
    placeBottomRow(window, ui, versionText);
    return layout;
}

void styleCodeField(QLineEdit *code, bool typed) {
    QFont font = code->font();
    font.setStyle(QFont::StyleNormal);
    if (typed) {
        font.setPixelSize(19);
        font.setFamily(QStringLiteral("Consolas"));
        font.setWeight(99);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    } else {
        font = pingFangFont(font, 12);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    }
    code->setFont(font);
    code->setStyleSheet(QLatin1String(typed ? codeTypedStyle : codeEmptyStyle));
}

void styleCastButton(QPushButton *button, bool enabled) {
    button->setStyleSheet(
        QLatin1String(enabled ? castButtonEnabledStyle : castButtonDisabledStyle));
}

void styleMidPicture(QLabel *mid, bool casting) {
    mid->setStyleSheet(QLatin1String(casting ? midCastingStyle : midIdleStyle));
}
