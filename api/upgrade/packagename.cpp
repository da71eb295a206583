#include "api/upgrade/packagename.h"

#include <QVector>

namespace PackageName {

namespace {

const int longestName = 100;
// A dot this close to the end of an overlong name starts its extension,
// which is kept when the name is shortened.
const int longestExtension = 16;

// Besides the characters Windows forbids in file names, controls and format
// characters (zero-width and direction marks such as U+202E) are dropped:
// invisible, they make the shown name differ from the real one.
bool allowedInFileName(uint c) {
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    const QChar::Category category = QChar::category(c);
    return category != QChar::Other_Control && category != QChar::Other_Format &&
           category != QChar::Other_Surrogate && c != 0xFFFD &&
           !(c < 0x80 && forbidden.contains(QChar(c)));
}

bool trimmable(QChar c) {
    return c == QLatin1Char('.') || c.isSpace();
}

QString trimmed(const QString &name) {
    int begin = 0;
    int end = name.size();
    while (begin < end && trimmable(name.at(begin))) {
        ++begin;
    }
    while (end > begin && trimmable(name.at(end - 1))) {
        --end;
    }
    return name.mid(begin, end - begin);
}

// The first `length` UTF-16 units of text, one fewer when that would split a
// character made of two units.
QString leftWhole(const QString &text, int length) {
    if (length > 0 && length < text.size() && text.at(length - 1).isHighSurrogate()) {
        --length;
    }
    return text.left(length);
}

// name cut to longestName characters, keeping a short extension.
QString shortened(const QString &name) {
    if (name.size() <= longestName) {
        return name;
    }
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension =
        dot > 0 && name.size() - dot <= longestExtension ? name.mid(dot) : QString();
    return trimmed(leftWhole(name, longestName - extension.size())) + extension;
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
    const QVector<uint> characters = name.toUcs4();
    for (const uint c : characters) {
        if (allowedInFileName(c)) {
            plain.append(QString::fromUcs4(&c, 1));
        }
    }
    return shortened(trimmed(plain));
}

QString compose(const QString &name, const QString &version, const QString &suffix) {
    const QString plainName = plainFileName(name);
    const int dot = plainName.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? plainName : plainName.left(dot);
    const QString tail =
        QLatin1Char('_') + plainFileName(version) + QLatin1Char('.') + plainFileName(suffix);
    // The base gives way first, so that the version and suffix stay whole.
    return shortened(leftWhole(base, qMax(0, longestName - tail.size())) + tail);
}

} // namespace PackageName
