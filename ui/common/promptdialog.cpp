#include "ui/common/promptdialog.h"

#include "ui/common/dialogchrome.h"

#include <QPushButton>

void PromptDialog::adoptButtons(QPushButton *ok, QPushButton *cancel, QPushButton *close,
                                QPushButton *min) {
    okButton = ok;
    cancelButton = cancel;
    closeButton = close;
    minButton = min;
    styleTitleButtons(this, closeButton, minButton);
    styleAnswerButtons(this, okButton, cancelButton);
}

void PromptDialog::setButtons(bool showOk, const QString &okText, bool showCancel,
                              const QString &cancelText) {
    okButton->setVisible(showOk);
    okButton->setText(okText);

    placeAnswerButtons(this, okButton, cancelButton, showCancel);
    cancelButton->setVisible(showCancel);
    if (showCancel) {
        cancelButton->setText(cancelText);
    }
}

void PromptDialog::setTitleButtons(bool showClose, bool showMin) {
    closeButton->setVisible(showClose);
    minButton->setVisible(showMin);
}

void PromptDialog::on_cancel_button_clicked() {
    turnedDown();
}

void PromptDialog::on_close_button_clicked() {
    turnedDown();
}

void PromptDialog::on_min_button_clicked() {
    showMinimized();
}
