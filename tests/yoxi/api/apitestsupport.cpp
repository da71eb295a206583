#include "apitestsupport.h"

#include "app/config/configutil.h"
#include "ui/basedialog/basedialog.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLabel>

QList<BaseDialog *> visibleBoxes() {
    QList<BaseDialog *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *box = qobject_cast<BaseDialog *>(widget);
        if (box && box->isVisible()) {
            boxes.append(box);
        }
    }
    return boxes;
}

QString boxText(BaseDialog *box) {
    const QLabel *label = box->findChild<QLabel *>(QStringLiteral("tip_content"));
    return label ? label->text() : QString();
}

void closeBoxes() {
    for (BaseDialog *box : visibleBoxes()) {
        box->close();
    }
    QApplication::processEvents();
}

QString expectedSign(const QString &input) {
    const QByteArray bytes =
        (input + QStringLiteral("5f0c2a9e7d41b3c86e2f90a1d4c7b358")).toLatin1();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

void setServerUrl(const QString &url) {
    ConfigUtil config;
    config.setValue(config.serverUrl, url);
}
