#include "api/upgrade/packagename.h"

namespace PackageName {

namespace {

bool allowedInFileName(QChar c) {
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    return c.unicode() >= 0x20 && c.unicode() != 0x7f && !forbidden.contains(c);
}

bool trimmable(QChar c) {
    return c == QLatin1Char('.') || c.isSpace();
}

} // namespace

QString plainFileName(const QString &text) {
    QString name = text;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    // A drive-relative name such as "C:setup.exe".
    if (name.size() >= 2 && name.at(0).isLetter() && name.at(0).unicode() < 0x80 &&
        name.at(1) == QLatin1Char(':')) {
        name.remove(0, 2);
    }

    QString plain;
    plain.reserve(name.size());
    for (const QChar c : qAsConst(name)) {
        if (allowedInFileName(c)) {
            plain.append(c);
        }
    }

    int begin = 0;
    int end = plain.size();
    while (begin < end && trimmable(plain.at(begin))) {
        ++begin;
    }
    while (end > begin && trimmable(plain.at(end - 1))) {
        --end;
    }
    return plain.mid(begin, end - begin);
}

QString compose(const QString &name, const QString &version, const QString &suffix) {
    const QString plainName = plainFileName(name);
    const int dot = plainName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? plainName : plainName.left(dot);
    return base + QLatin1Char('_') + plainFileName(version) + QLatin1Char('.') +
           plainFileName(suffix);
}

} // namespace PackageName
