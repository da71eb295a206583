#include "ui/common/dialogchrome.h"

#include "ui/common/fonts.h"

#include <QDebug>
#include <QPushButton>
#include <QWidget>

namespace {
const int buttonMargin = 14;
const int titleButtonMargin = 20;
const int titleButtonTop = 10;
const int titleButtonGap = 10;
const int constructedButtonGap = 10;
const int placedButtonGap = 13;
const int singleOkWidth = 90;
} // namespace

void styleTitleButtons(QWidget *dialog, QPushButton *closeButton, QPushButton *minButton) {
    const int closeX = dialog->width() - titleButtonMargin - closeButton->width();
    closeButton->move(closeX, titleButtonTop);
    closeButton->setToolTip(QStringLiteral("关闭"));
    closeButton->setStyleSheet(
        QStringLiteral("QPushButton{background-image: url(:images/close.png);background-repeat: "
                       "no-repeat;border:none;}QPushButton:hover{background-image: "
                       "url(:images/close_press.png);background-repeat: no-repeat;border:none;}"));

    minButton->move(closeX - titleButtonGap - minButton->width(), titleButtonTop);
    minButton->setToolTip(QStringLiteral("最小化"));
    minButton->setStyleSheet(QStringLiteral(
        "QPushButton{background-image: url(:images/minimize.png);background-repeat: "
        "no-repeat;border:none;}QPushButton:hover{background-image: "
        "url(:images/minimize_press.png);background-repeat: no-repeat;border:none;}"));
}

void styleAnswerButtons(QWidget *dialog, QPushButton *okButton, QPushButton *cancelButton) {
    const int okX = dialog->width() - buttonMargin - okButton->width();
    const int okY = dialog->height() - buttonMargin - okButton->height();
    okButton->move(okX, okY);
    okButton->setFont(pingFangFont(okButton->font(), 14));
    okButton->setStyleSheet(
        QStringLiteral("QPushButton{color: #FFFFFF;background-color:#6176FF;border-radius:6px;}"));

    cancelButton->move(okX - constructedButtonGap - cancelButton->width(), okY);
    cancelButton->setFont(okButton->font());
    cancelButton->setStyleSheet(
        QStringLiteral("QPushButton{color: rgba(85, 92, 130, 0.82);border-radius:6px;border:1px "
                       "solid gray;}"));
}

void placeAnswerButtons(QWidget *dialog, QPushButton *okButton, QPushButton *cancelButton,
                        bool showCancel) {
    int okWidth = okButton->width();
    int okX = dialog->width() - buttonMargin - okWidth;
    const int okY = dialog->height() - buttonMargin - okButton->height();
    qDebug() << "okButtonX:" << okX << ",okButtonWidth:" << okWidth;
    if (!showCancel) {
        okWidth = singleOkWidth;
        okX = dialog->width() - buttonMargin - singleOkWidth;
    }
    okButton->setGeometry(okX, okY, okWidth, okButton->height());
    cancelButton->move(okX - placedButtonGap - cancelButton->width(), okY);
}
