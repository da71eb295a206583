#include "app/display/fontfallbacks.h"

#include <QFont>
#include <QStringList>

void installFontFallbacks() {
    const QStringList chineseSans = {
        QStringLiteral("Microsoft YaHei"), QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback")};
    QFont::insertSubstitutions(QStringLiteral("PingFang SC"), chineseSans);
    QFont::insertSubstitutions(QStringLiteral("黑体"),
                               QStringList{QStringLiteral("SimHei")} + chineseSans);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), chineseSans);
    QFont::insertSubstitutions(QStringLiteral("Consolas"), {QStringLiteral("DejaVu Sans Mono"),
                                                            QStringLiteral("Noto Sans Mono"),
                                                            QStringLiteral("Liberation Mono")});
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                                QStringLiteral("Nimbus Sans")});
}
