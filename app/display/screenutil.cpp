#include "app/display/screenutil.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
const int defaultWidth = 1920;
const int defaultHeight = 1080;
} // namespace

int ScreenUtil::getScreenWidth() const {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : defaultWidth;
}

int ScreenUtil::getScreenHeight() const {
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : defaultHeight;
}

QString ScreenUtil::getScreenSize() const {
    return QString::number(getScreenWidth()) + QLatin1Char('*') +
           QString::number(getScreenHeight());
}
