#ifndef TERMSDIALOG_H
#define TERMSDIALOG_H

#include "ui/common/framelessdialog.h"

namespace Ui {
class TermsDialog;
}

// Shows the user service agreement and asks the user to accept it. The dialog
// closes itself on either button and then reports the choice through
// quitNotice: 1 for accept, 0 for decline.
class TermsDialog : public FramelessDialog {
    Q_OBJECT
public:
    explicit TermsDialog(QWidget *parent = nullptr);
    ~TermsDialog() override;

signals:
    void quitNotice(int result);

public slots:
    void agree();
    void noagree();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void applyLayout();

    Ui::TermsDialog *ui;
};

#endif // TERMSDIALOG_H
