#include "ui/basedialog/basedialog.h"
#include "ui_basedialog.h"

#include "api/network/showntext.h"

#include "app/display/roundedmask.h"
#include "ui/common/fonts.h"
#include "ui/common/textlines.h"

namespace {
const qreal cornerRadius = 6.0;
// A message longer than this is cut with "…" and shown whole as the tooltip.
const int maxTextLines = 4;
} // namespace

BaseDialog::BaseDialog(QWidget *parent) : PromptDialog(parent), ui(new Ui::BaseDialog) {
    ui->setupUi(this);

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setMask(roundedMask(size(), cornerRadius));

    ui->tip_content->setFont(pingFangFont(ui->tip_content->font(), 16));
    ui->tip_content->setStyleSheet(QStringLiteral("QLabel{color: #555C82}"));
    ui->tip_content->setWordWrap(true);
    formTextHeight = ui->tip_content->height();

    adoptButtons(ui->ok_button, ui->cancel_button, ui->close_button, ui->min_button);
}

BaseDialog::~BaseDialog() {
    delete ui;
}

// The text label grows to the lines the message needs, and the box with it,
// so that the buttons keep their distance from the text and the bottom edge.
void BaseDialog::setText(const QString &message) {
    // Bounded before any layout: the box appears at once whatever it is given.
    const QString text = shownText(message);
    QLabel *label = ui->tip_content;
    const int width = label->contentsRect().width();
    const FittedText fitted = fitTextLines(text, label->font(), width, maxTextLines);
    label->setText(fitted.text);
    label->setToolTip(fitted.elided ? text : QString());

    const QRect room(0, 0, width, QWIDGETSIZE_MAX);
    const int needed =
        label->fontMetrics().boundingRect(room, Qt::TextWordWrap, fitted.text).height();
    const int growth = qMax(formTextHeight, needed) - label->height();
    if (growth == 0) {
        return;
    }
    label->resize(label->width(), label->height() + growth);
    resize(this->width(), height() + growth);
    for (QPushButton *button : {ui->ok_button, ui->cancel_button}) {
        button->move(button->x(), button->y() + growth);
    }
    setMask(roundedMask(size(), cornerRadius));
}

void BaseDialog::on_ok_button_clicked() {
    accept();
}

void BaseDialog::turnedDown() {
    reject();
}
