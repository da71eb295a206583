#include "app/crash/crashreport.h"

#include <QApplication>
#include <QMessageBox>

namespace CrashReport {

QString reportBody(const QString &code, const QString &address) {
    return QStringLiteral("<FONT size=4><div><b>对于发生的错误，表示诚挚的歉意</b><br/></div>") +
           QStringLiteral("<div>错误代码：%1</div><div>错误地址：%2</div></FONT>")
               .arg(code, address);
}

void showReport(const QString &code, const QString &address) {
    QMessageBox::critical(nullptr, QStringLiteral("程式崩溃"), reportBody(code, address),
                          QMessageBox::Ok);
}

} // namespace CrashReport
