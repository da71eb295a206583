#include "app/crash/crashreport.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdint>
#include <cstring>

namespace CrashReport {

const char reportArgument[] = "--crash-report";

namespace {

bool isHexText(const char *text) {
    const size_t length = std::strlen(text);
    if (length == 0 || length > 2 * sizeof(std::uintptr_t)) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

} // namespace

QString reportBody(const QString &code, const QString &address) {
    return QStringLiteral("<FONT size=4><div><b>对于发生的错误，表示诚挚的歉意</b><br/></div>") +
           QStringLiteral("<div>错误代码：%1</div><div>错误地址：%2</div></FONT>")
               .arg(code, address);
}

void showReport(const QString &code, const QString &address) {
    QMessageBox::critical(nullptr, QStringLiteral("程式崩溃"), reportBody(code, address),
                          QMessageBox::Ok);
}

bool isReportRequest(int argc, char **argv, QString *code, QString *address) {
    if (argc != 4 || std::strcmp(argv[1], reportArgument) != 0 || !isHexText(argv[2]) ||
        !isHexText(argv[3])) {
        return false;
    }
    *code = QString::fromLatin1(argv[2]);
    *address = QString::fromLatin1(argv[3]);
    return true;
}

int runReportProcess(int argc, char **argv, const QString &code, const QString &address) {
    QApplication app(argc, argv);
    showReport(code, address);
    return 0;
}

} // namespace CrashReport
