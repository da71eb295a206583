#ifndef BASEDIALOG_H
#define BASEDIALOG_H

#include "ui/common/promptdialog.h"

namespace Ui {
class BaseDialog;
}

// The program's one message and question box: frameless, rounded, always on
// top, with an OK and an optional Cancel button. The user's choice is the
// standard dialog result: Accepted (1) only through OK.
class BaseDialog : public PromptDialog {
    Q_OBJECT

public:
    explicit BaseDialog(QWidget *parent = nullptr);
    ~BaseDialog() override;

    void setText(const QString &text);

protected:
    void turnedDown() override;

private slots:
    void on_ok_button_clicked();

private:
    Ui::BaseDialog *ui;
    // The text label's height in the form: enough for one line.
    int formTextHeight = 0;
};

#endif // BASEDIALOG_H
