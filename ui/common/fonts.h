// The fonts the windows set in code.
#pragma once

#include <QFont>

// base with the given pixel size, family "PingFang SC", normal style, weight 50.
QFont pingFangFont(const QFont &base, int pixelSize);
