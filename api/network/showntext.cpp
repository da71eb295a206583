#include "api/network/showntext.h"

namespace {
const int longestShownText = 300;
} // namespace

QString shownText(const QString &text) {
    if (text.size() <= longestShownText) {
        return text;
    }
    int keep = longestShownText;
    // Never split a character made of two UTF-16 units.
    if (text.at(keep - 1).isHighSurrogate()) {
        --keep;
    }
    return text.left(keep) + QChar(0x2026);
}
