#include "ui/castingwindow/cancelwindow.h"
#include "ui_cancelwindow.h"

#include "app/display/roundedmask.h"
#include "ui/common/fonts.h"
#include "ui/common/textlines.h"

#include <QApplication>
#include <QDesktopWidget>

namespace {
const int windowWidth = 210;
const int windowHeight = 38;
const double topFactor = 3.5; // y = 3.5 window heights below the top
const qreal cornerRadius = 6.0;
const int tvX = 17;
const int textGapAfterTv = 28;
} // namespace

CancelWindow::CancelWindow(QWidget *parent) : QWidget(parent), ui(new Ui::CancelWindow) {
    ui->setupUi(this);

    setFixedSize(windowWidth, windowHeight);
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    const int x = QApplication::desktop()->width() - width();
    const int y = static_cast<int>(height() * topFactor);
    setGeometry(x, y, windowWidth, windowHeight);
    setMask(roundedMask(size(), cornerRadius));

    ui->tv->move(tvX, (height() - ui->tv->height()) / 2);

    ui->castting->setFont(pingFangFont(ui->castting->font(), 14));
    ui->castting->setStyleSheet(QStringLiteral("QLabel{color: #555C82}"));
    fitHeightToText(ui->castting);
    ui->castting->move(ui->tv->width() + textGapAfterTv, (height() - ui->castting->height()) / 2);

    ui->cancelcast->setDefault(false);
    ui->cancelcast->setStyleSheet(QStringLiteral(
        "QPushButton{background-color:#E86161;border:none;color: "
        "#FFFFFF}QPushButton:pressed{background-color:#EF4747;border:none;color: "
        "#FFFFFF}QPushButton:hover{background-color:#EF4747;border:none;color: #FFFFFF}"));
    connect(ui->cancelcast, SIGNAL(clicked()), this, SLOT(cancelCast()));
}

CancelWindow::~CancelWindow() {
    delete ui;
}

void CancelWindow::cancelCast() {
    emit cancelCastNoctice();
}
