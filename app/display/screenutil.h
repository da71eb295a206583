#ifndef SCREENUTIL_H
#define SCREENUTIL_H

#include <QString>

class QScreen;

// The primary screen's size as Qt reports it (no high-DPI scaling). The screen
// is the one that was primary when this object was built.
class ScreenUtil {
public:
    ScreenUtil();

    int getScreenWidth() const;
    int getScreenHeight() const;
    // "<width>*<height>", for example "1920*1080".
    QString getScreenSize() const;

private:
    QScreen *screen;
};

#endif // SCREENUTIL_H
