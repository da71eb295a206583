#include "ui/basedialog/messagebox.h"

#include "ui/basedialog/basedialog.h"

BaseDialog *newBox(const QString &okText, const QString &cancelText, bool showClose) {
    BaseDialog *box = new BaseDialog(nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setButtons(true, okText, !cancelText.isEmpty(), cancelText);
    box->setTitleButtons(showClose, false);
    return box;
}

void showMessageBox(const QString &text, bool modal, bool showClose) {
    BaseDialog *box = newBox(QStringLiteral("确定"), QString(), showClose);
    box->setText(text);
    box->setModal(modal);
    box->show();
}

void showRequestTimeoutBox() {
    showMessageBox(QStringLiteral("服务器连接失败，请检查网络!"), true, false);
}
