// Checks that a window shows every text whole: each visible label, button,
// line edit and text browser is measured with its own font, alignment and
// word wrap against the rectangle it paints its text into.
#ifndef TEXTFIT_H
#define TEXTFIT_H

#include <QStringList>

class QWidget;

// One line per text that does not fit, naming the widget, the text, the
// space it needs and the space it has; empty when everything fits. Text
// browsers named in scrolling may scroll their document; every other text
// browser must show its whole document without scroll bars.
QStringList textFitFaults(QWidget *window, const QStringList &scrolling = {});

#endif // TEXTFIT_H
