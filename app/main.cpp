#include "app/config/ConfigUtil.h"
#include "app/display/FontFallbacks.h"
#include "app/logging/LogFile.h"
#include "ui/mainwindow/mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QTextCodec>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    installFontFallbacks();

    // Used only for the debug decision; lives until the process ends.
    ConfigUtil *config = new ConfigUtil;
    qDebug() << "is debug model : " << config->isDebug();
    if (config->isDebug()) {
        QTextCodec::setCodecForLocale(QTextCodec::codecForLocale());
        LogFile::install();
    }

    MainWindow *window = new MainWindow;
    window->show();
    return app.exec();
}
