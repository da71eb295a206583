#include "app/config/configutil.h"
#include "app/crash/crashreport.h"
#include "app/display/fontfallbacks.h"
#include "app/logging/logfile.h"
#include "ui/mainwindow/mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QTextCodec>

int main(int argc, char *argv[]) {
    // A crashed copy of this program asked for its report to be shown.
    QString crashCode;
    QString crashAddress;
    if (CrashReport::isReportRequest(argc, argv, &crashCode, &crashAddress)) {
        return CrashReport::runReportProcess(argc, argv, crashCode, crashAddress);
    }

    QApplication app(argc, argv);
    installFontFallbacks();

    // Used only for the debug decision; lives until the process ends.
    ConfigUtil *config = new ConfigUtil;
    qDebug() << "is debug model : " << config->isDebug();
    if (config->isDebug()) {
        QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
        CrashReport::install();
        LogFile::install();
    }

    MainWindow *window = new MainWindow;
    window->show();
    return app.exec();
}
