#include "ui/common/textlines.h"

#include <QFontMetrics>
#include <QStringList>
#include <QTextLayout>
#include <QVector>
#include <QWidget>

namespace {

struct Wrapped {
    QStringList lines;
    // Where each line starts in the message.
    QVector<int> starts;
    // A line is wider than the width: a word with no break opportunity inside.
    bool overflow = false;
};

Wrapped wrapLines(const QString &text, const QFont &font, int width, QTextOption::WrapMode mode) {
    QString laidOut = text;
    laidOut.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laidOut, font);
    QTextOption option;
    option.setWrapMode(mode);
    layout.setTextOption(option);
    Wrapped wrapped;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        wrapped.overflow = wrapped.overflow || line.naturalTextWidth() > width;
        QString part = laidOut.mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && (part.back().isSpace() || part.back() == QChar::LineSeparator)) {
            part.chop(1);
        }
        wrapped.lines << part;
        wrapped.starts << line.textStart();
    }
    layout.endLayout();
    return wrapped;
}

} // namespace

FittedText fitTextLines(const QString &text, const QFont &font, int width, int maxLines) {
    const Wrapped asWords = wrapLines(text, font, width, QTextOption::WordWrap);
    if (!asWords.overflow && asWords.lines.size() <= maxLines) {
        return {text, int(asWords.lines.size()), false};
    }

    const Wrapped anywhere =
        wrapLines(text, font, width, QTextOption::WrapAtWordBoundaryOrAnywhere);
    FittedText fitted;
    QStringList lines = anywhere.lines;
    if (lines.size() > maxLines) {
        QString rest = text.mid(anywhere.starts.at(maxLines - 1));
        rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
        lines = lines.mid(0, maxLines - 1);
        lines << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
        fitted.elided = true;
    }
    fitted.text = lines.join(QLatin1Char('\n'));
    fitted.lines = int(lines.size());
    return fitted;
}

void fitHeightToText(QWidget *widget) {
    const QString text = widget->property("text").toString();
    const QRect room(0, 0, widget->width(), QWIDGETSIZE_MAX);
    const int lineHeight = widget->fontMetrics().boundingRect(room, 0, text).height();
    if (widget->height() < lineHeight) {
        widget->resize(widget->width(), lineHeight);
    }
}
