// The base of the prompt dialogs (the message box and the download dialog):
// the close and minimise buttons at the top right and the OK and Cancel
// buttons at the bottom right, shown, hidden and placed the same way in both.
#pragma once

#include "ui/common/framelessdialog.h"

class QPushButton;

class PromptDialog : public FramelessDialog {
    Q_OBJECT

public:
    explicit PromptDialog(QWidget *parent = nullptr) : FramelessDialog(parent) {}

    // Shows or hides the answer buttons, sets their texts and places them:
    // OK 14 pixels from the right and bottom edges (90 pixels wide alone),
    // Cancel 13 pixels left of it. Cancel takes its text only when shown.
    void setButtons(bool showOk, const QString &okText, bool showCancel, const QString &cancelText);
    void setTitleButtons(bool showClose, bool showMin);

protected:
    // The derived dialog's buttons from its form, once it is set up; they are
    // styled and placed as built.
    void adoptButtons(QPushButton *ok, QPushButton *cancel, QPushButton *close, QPushButton *min);
    // The user turned the prompt down: Cancel and the close button both mean it.
    virtual void turnedDown() = 0;

private slots:
    void on_cancel_button_clicked();
    void on_close_button_clicked();
    void on_min_button_clicked();

private:
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *closeButton = nullptr;
    QPushButton *minButton = nullptr;
};
