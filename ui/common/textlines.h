// Fitting texts into the labels that show them.
#pragma once

#include <QFont>
#include <QString>

// A message fitted into a few lines of a given width, as a word-wrapped label
// shows it.
struct FittedText {
    // What to show: the message itself when it wraps into maxLines as it is;
    // otherwise its lines joined by line feeds, with words too long for a
    // line broken inside and, beyond maxLines, the last line cut with "…".
    QString text;
    int lines = 0;
    bool elided = false;
};

FittedText fitTextLines(const QString &text, const QFont &font, int width, int maxLines);

class QWidget;

// Makes a label or button at least as high as its one-line text needs, keeping
// its top left corner; placing it afterwards then accounts for that height.
// The line's height is measured on the text itself: characters that the font
// lacks come from a fallback font, which may need more height.
void fitHeightToText(QWidget *widget);
