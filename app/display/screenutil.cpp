#include "app/display/screenutil.h"

#include <QGuiApplication>
#include <QScreen>

ScreenUtil::ScreenUtil() : screen(QGuiApplication::primaryScreen()) {}

int ScreenUtil::getScreenWidth() const {
    return screen ? screen->geometry().width() : 0;
}

int ScreenUtil::getScreenHeight() const {
    return screen ? screen->geometry().height() : 0;
}

QString ScreenUtil::getScreenSize() const {
    return QString::number(getScreenWidth()) + QLatin1Char('*') +
           QString::number(getScreenHeight());
}
