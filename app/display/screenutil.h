#ifndef SCREENUTIL_H
#define SCREENUTIL_H

#include <QString>

// The primary screen's size as Qt reports it (no high-DPI scaling). The
// primary screen is asked for at each call: Qt deletes a screen when its
// monitor goes away, so none is kept. Without any screen the size is the
// default 1920 x 1080.
class ScreenUtil {
public:
    int getScreenWidth() const;
    int getScreenHeight() const;
    // "<width>*<height>", for example "1920*1080".
    QString getScreenSize() const;
};

#endif // SCREENUTIL_H
