#include "ui/common/fonts.h"

QFont pingFangFont(const QFont &base, int pixelSize) {
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setFamily(QStringLiteral("PingFang SC"));
    font.setStyle(QFont::StyleNormal);
    font.setWeight(QFont::Normal);
    return font;
}
