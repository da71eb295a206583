#include "ui/basedialog/basedialog.h"
#include "ui_basedialog.h"

#include "app/display/roundedmask.h"

#include <QDebug>
#include <QMouseEvent>

namespace {
const int buttonMargin = 14;
const int titleButtonMargin = 20;
const int titleButtonTop = 10;
const int titleButtonGap = 10;
const int constructedButtonGap = 10;
const int placedButtonGap = 13;
const int singleOkWidth = 90;
const qreal cornerRadius = 6.0;

QFont pingFangFont(const QFont &base, int pixelSize) {
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setFamily(QStringLiteral("PingFang SC"));
    font.setStyle(QFont::StyleNormal);
    font.setWeight(QFont::Normal);
    return font;
}
} // namespace

BaseDialog::BaseDialog(QWidget *parent) : QDialog(parent), ui(new Ui::BaseDialog) {
    ui->setupUi(this);

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setMask(roundedMask(size(), cornerRadius));

    ui->tip_content->setFont(pingFangFont(ui->tip_content->font(), 16));
    ui->tip_content->setStyleSheet(QStringLiteral("QLabel{color: #555C82}"));
    ui->tip_content->setWordWrap(true);

    const int closeX = width() - titleButtonMargin - ui->close_button->width();
    ui->close_button->move(closeX, titleButtonTop);
    ui->close_button->setToolTip(QStringLiteral("关闭"));
    ui->close_button->setStyleSheet(
        QStringLiteral("QPushButton{background-image: url(:images/close.png);background-repeat: "
                       "no-repeat;border:none;}QPushButton:hover{background-image: "
                       "url(:images/close_press.png);background-repeat: no-repeat;border:none;}"));

    ui->min_button->move(closeX - titleButtonGap - ui->min_button->width(), titleButtonTop);
    ui->min_button->setToolTip(QStringLiteral("最小化"));
    ui->min_button->setStyleSheet(QStringLiteral(
        "QPushButton{background-image: url(:images/minimize.png);background-repeat: "
        "no-repeat;border:none;}QPushButton:hover{background-image: "
        "url(:images/minimize_press.png);background-repeat: no-repeat;border:none;}"));

    const int okX = width() - buttonMargin - ui->ok_button->width();
    const int okY = height() - buttonMargin - ui->ok_button->height();
    ui->ok_button->move(okX, okY);
    ui->ok_button->setFont(pingFangFont(ui->ok_button->font(), 14));
    ui->ok_button->setStyleSheet(
        QStringLiteral("QPushButton{color: #FFFFFF;background-color:#6176FF;border-radius:6px;}"));

    ui->cancel_button->move(okX - constructedButtonGap - ui->cancel_button->width(), okY);
    ui->cancel_button->setFont(ui->ok_button->font());
    ui->cancel_button->setStyleSheet(
        QStringLiteral("QPushButton{color: rgba(85, 92, 130, 0.82);border-radius:6px;border:1px "
                       "solid gray;}"));
}

BaseDialog::~BaseDialog() {
    delete ui;
}

void BaseDialog::setText(const QString &text) {
    ui->tip_content->setText(text);
}

void BaseDialog::setButtons(bool showOk, const QString &okText, bool showCancel,
                            const QString &cancelText) {
    if (!showOk) {
        ui->ok_button->hide();
    }
    ui->ok_button->setText(okText);

    int okWidth = ui->ok_button->width();
    int okX = width() - buttonMargin - okWidth;
    const int okY = height() - buttonMargin - ui->ok_button->height();
    qDebug() << "okButtonX:" << okX << ",okButtonWidth:" << okWidth;
    if (!showCancel) {
        okWidth = singleOkWidth;
        okX = width() - buttonMargin - singleOkWidth;
    }
    ui->ok_button->setGeometry(okX, okY, okWidth, ui->ok_button->height());

    ui->cancel_button->move(okX - placedButtonGap - ui->cancel_button->width(), okY);
    if (showCancel) {
        ui->cancel_button->setText(cancelText);
    } else {
        ui->cancel_button->hide();
    }
}

void BaseDialog::setTitleButtons(bool showClose, bool showMin) {
    ui->close_button->setVisible(showClose);
    ui->min_button->setVisible(showMin);
}

void BaseDialog::on_ok_button_clicked() {
    accept();
}

void BaseDialog::on_cancel_button_clicked() {
    reject();
}

void BaseDialog::on_close_button_clicked() {
    reject();
}

void BaseDialog::on_min_button_clicked() {
    showMinimized();
}

void BaseDialog::mousePressEvent(QMouseEvent *event) {
    const QPoint pos = event->globalPos();
    dragX = pos.x();
    dragY = pos.y();
    dragging = true;
}

void BaseDialog::mouseMoveEvent(QMouseEvent *event) {
    if (dragging) {
        moveBy(event->globalPos());
    }
}

void BaseDialog::mouseReleaseEvent(QMouseEvent *event) {
    // A release without a press on the dialog (the press went to a window that
    // closed meanwhile) has no drag origin and must not make the dialog jump.
    if (dragging) {
        moveBy(event->globalPos());
    }
    dragging = false;
}

void BaseDialog::moveBy(const QPoint &globalPos) {
    const int dx = globalPos.x() - dragX;
    const int dy = globalPos.y() - dragY;
    dragX = globalPos.x();
    dragY = globalPos.y();
    move(x() + dx, y() + dy);
}
