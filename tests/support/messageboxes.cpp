#include "support/messageboxes.h"

#include "ui/basedialog/basedialog.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {
// On a busy machine any request of the window (install report, upgrade
// check, heartbeat) may still be open when its 5 s watch ends, which shows
// the watcher's box. The flow tests look at the flow's own boxes; the
// watcher's box has tests of its own.
bool isRequestTimeoutBox(BaseDialog *box) {
    return messageText(box) == QStringLiteral("服务器连接失败，请检查网络!");
}
} // namespace

QList<BaseDialog *> visibleBoxes() {
    QList<BaseDialog *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<BaseDialog *>(widget);
        if (box && box->isVisible()) {
            boxes << box;
        }
    }
    return boxes;
}

QString messageText(BaseDialog *box) {
    auto *label = box->findChild<QLabel *>(QStringLiteral("tip_content"));
    return label ? label->text() : QString();
}

void closeBoxes() {
    for (BaseDialog *box : visibleBoxes()) {
        box->close();
    }
    QApplication::processEvents();
}

QList<BaseDialog *> visibleMessageBoxes() {
    QList<BaseDialog *> boxes;
    for (BaseDialog *box : visibleBoxes()) {
        if (!isRequestTimeoutBox(box)) {
            boxes << box;
        }
    }
    return boxes;
}

QStringList takeMessages() {
    QStringList texts;
    for (BaseDialog *box : visibleBoxes()) {
        if (!isRequestTimeoutBox(box)) {
            texts << messageText(box);
        }
        box->close();
    }
    return texts;
}

void answerNextPrompt(const QString &buttonName, QString *text, int delayMs) {
    // Polls from the event loop that exec() runs.
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, buttonName, text, delayMs] {
        auto *box = qobject_cast<BaseDialog *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            return;
        }
        if (text) {
            *text = messageText(box);
        }
        poll->stop();
        poll->deleteLater();
        QPointer<QPushButton> button = box->findChild<QPushButton *>(buttonName);
        QTimer::singleShot(delayMs, [button] {
            if (button) {
                button->click();
            }
        });
    });
    poll->start(20);
}
