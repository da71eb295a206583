#ifndef SHOWNTEXT_H
#define SHOWNTEXT_H

#include <QString>

// A text from outside the program (a server's refusal message, an upgrade
// version) as a message box may show it. Laying out one long unbroken word
// costs time that grows with the square of its length, so a hostile server
// could freeze the window; the text is cut to a few hundred characters, with
// "…", before any layout.
QString shownText(const QString &text);

#endif // SHOWNTEXT_H
