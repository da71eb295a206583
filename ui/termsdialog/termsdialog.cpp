#include "ui/termsdialog/termsdialog.h"
#include "ui_termsdialog.h"

#include "app/display/roundedmask.h"
#include "ui/common/textlines.h"

#include <QCloseEvent>
#include <QDebug>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>

namespace {

const char *const agreementResource = ":/terms/agreement.html";

QString agreementHtml() {
    QFile file(QString::fromLatin1(agreementResource));
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "agreement text missing:" << agreementResource;
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

} // namespace

TermsDialog::TermsDialog(QWidget *parent) : FramelessDialog(parent), ui(new Ui::TermsDialog) {
    ui->setupUi(this);
    ui->terms->setHtml(agreementHtml());

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

    setMask(roundedMask(size(), 6));

    applyLayout();

    connect(ui->agree, SIGNAL(clicked()), this, SLOT(agree()));
    connect(ui->noagree, SIGNAL(clicked()), this, SLOT(noagree()));
}

TermsDialog::~TermsDialog() {
    delete ui;
}

// Title, text and buttons share the height in bands of 20, 60 and 20 percent.
void TermsDialog::applyLayout() {
    const int w = width();
    const int h = height();
    const int titleBand = int(h * 0.2);
    const int textBand = int(h * 0.6);
    const int buttonTop = titleBand + textBand;
    const int buttonBand = h - buttonTop;

    fitHeightToText(ui->title);
    ui->title->move((w - ui->title->width()) / 2, (titleBand - ui->title->height()) / 2);

    ui->terms->setGeometry(5, titleBand, w - 10, textBand);
    ui->terms->setStyleSheet(
        "QTextBrowser{background:#ecf1ff;padding:6px 0px 6px 11px;border-radius:6px;}");
    auto *scrollBar = new QScrollBar(Qt::Vertical, ui->terms);
    scrollBar->setStyleSheet(
        "QScrollBar:vertical{background:#E0E8FD;width:4px;padding-top:0px;padding-bottom:0px;"
        "border-left:1px solid #E0E8FD;margin:0px 0px 0px 0px;}"
        "QScrollBar::handle:vertical{background:#399AFA;height:20px;border-radius:6px;}");
    ui->terms->setVerticalScrollBar(scrollBar);

    const int buttonWidth = ui->noagree->width();
    const int noagreeX = (w - 3 * buttonWidth) / 2;
    const int buttonY = buttonTop + (buttonBand - ui->noagree->height()) / 2;
    ui->noagree->move(noagreeX, buttonY);
    ui->agree->move(noagreeX + 2 * buttonWidth, buttonY);
}

// Closing from the window system (Alt+F4, the task bar) would leave the
// agreement unanswered while the program goes on; only the two buttons end
// the dialog. Closes from the program itself, such as at the end of the
// session, still go through.
void TermsDialog::closeEvent(QCloseEvent *event) {
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    FramelessDialog::closeEvent(event);
}

void TermsDialog::agree() {
    close();
    qDebug() << "agree";
    emit quitNotice(1);
}

void TermsDialog::noagree() {
    close();
    qDebug() << "noagree";
    emit quitNotice(0);
}

// The agreement must be answered with one of the two buttons: Escape would
// close the dialog without an answer and leave the program running unaccepted.
void TermsDialog::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    FramelessDialog::keyPressEvent(event);
}
