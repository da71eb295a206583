#include "textfit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Where a widget paints its text and the rectangle that text takes there,
// both in the widget's own coordinates.
struct TextPlace {
    QString text;
    QRect area;
    QRect needed;
};

QString describe(const QRect &r) {
    return QStringLiteral("%1x%2 at (%3,%4)").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

QString nameOf(const QWidget *widget) {
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') +
           (widget->objectName().isEmpty() ? QStringLiteral("<unnamed>") : widget->objectName());
}

// QLabel draws plain text with its alignment (and word wrap) inside its
// contents rectangle less its margin; rich text goes through a text document.
TextPlace labelText(const QLabel *label) {
    TextPlace place;
    place.text = label->text();
    const int margin = label->margin();
    place.area = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(place.text));
    if (rich) {
        QTextDocument document;
        document.setDefaultFont(label->font());
        document.setDocumentMargin(0);
        document.setHtml(place.text);
        if (label->wordWrap()) {
            document.setTextWidth(place.area.width());
        }
        const QSize size = document.size().toSize();
        place.needed =
            QStyle::alignedRect(label->layoutDirection(), label->alignment(), size, place.area);
        return place;
    }
    int flags = int(label->alignment());
    if (label->wordWrap()) {
        flags |= Qt::TextWordWrap;
    }
    place.needed = label->fontMetrics().boundingRect(place.area, flags, place.text);
    return place;
}

// Push buttons centre their text in the style's contents rectangle (which
// honours style-sheet borders and padding); radio buttons put it beside the
// indicator, vertically centred.
TextPlace buttonText(const QAbstractButton *button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    Qt::Alignment alignment = Qt::AlignCenter;
    if (qobject_cast<const QRadioButton *>(button)) {
        element = QStyle::SE_RadioButtonContents;
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    }
    TextPlace place;
    place.text = button->text();
    place.area = button->style()->subElementRect(element, &option, button);
    const QSize size = button->fontMetrics().size(Qt::TextShowMnemonic, place.text);
    place.needed = QStyle::alignedRect(button->layoutDirection(), alignment, size, place.area);
    return place;
}

// The line QLineEdit paints its text (or placeholder) on: the style's contents
// rectangle less the text margins and two pixels on either side, one font
// height tall, centred vertically.
TextPlace lineEditText(const QLineEdit *edit) {
    QStyleOptionFrame panel;
    panel.initFrom(edit);
    panel.lineWidth = edit->hasFrame()
                          ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, edit)
                          : 0;
    panel.state |= QStyle::State_Sunken;
    QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &panel, edit);
    contents = contents.marginsRemoved(edit->textMargins());
    const int horizontalMargin = 2;
    TextPlace place;
    place.text = edit->text().isEmpty() ? edit->placeholderText() : edit->displayText();
    place.area = contents.adjusted(horizontalMargin, 0, -horizontalMargin, 0);
    const QFontMetrics metrics = edit->fontMetrics();
    const QSize size(metrics.horizontalAdvance(place.text), metrics.height());
    place.needed =
        QStyle::alignedRect(edit->layoutDirection(), edit->alignment(), size, place.area);
    return place;
}

bool placeOf(const QWidget *widget, TextPlace *place) {
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->text().isEmpty()) {
            return false;
        }
        *place = labelText(label);
    } else if (const auto *button = qobject_cast<const QAbstractButton *>(widget)) {
        if (button->text().isEmpty()) {
            return false;
        }
        *place = buttonText(button);
    } else if (const auto *edit = qobject_cast<const QLineEdit *>(widget)) {
        *place = lineEditText(edit);
        if (place->text.isEmpty()) {
            return false;
        }
    } else {
        return false;
    }
    return true;
}

// A browser shows its whole document when the laid-out document fits the
// viewport and neither scroll bar is shown.
QString browserFault(const QTextEdit *browser) {
    const QSize document = browser->document()->size().toSize();
    const QSize viewport = browser->viewport()->size();
    const bool barShown =
        browser->verticalScrollBar()->isVisible() || browser->horizontalScrollBar()->isVisible();
    if (document.height() <= viewport.height() && document.width() <= viewport.width() &&
        !barShown) {
        return QString();
    }
    return QStringLiteral("%1: document %2x%3 in a %4x%5 viewport%6")
        .arg(nameOf(browser))
        .arg(document.width())
        .arg(document.height())
        .arg(viewport.width())
        .arg(viewport.height())
        .arg(barShown ? QStringLiteral(", with a scroll bar") : QString());
}

// Siblings after widget in its parent's child list are painted over it. Text
// browsers are left out: the help popup lies over the window on purpose.
QStringList coveringSiblings(const QWidget *widget, const QRect &textInParent) {
    QStringList covering;
    const QWidget *parent = widget->parentWidget();
    if (!parent) {
        return covering;
    }
    const QObjectList &siblings = parent->children();
    for (int i = siblings.indexOf(const_cast<QWidget *>(widget)) + 1; i < siblings.size(); ++i) {
        const auto *sibling = qobject_cast<const QWidget *>(siblings.at(i));
        if (sibling && !sibling->isWindow() && !qobject_cast<const QTextEdit *>(sibling) &&
            sibling->isVisibleTo(parent) && sibling->geometry().intersects(textInParent)) {
            covering << nameOf(sibling);
        }
    }
    return covering;
}

} // namespace

QStringList textFitFaults(QWidget *window, const QStringList &scrolling) {
    QStringList faults;
    window->ensurePolished();
    const QList<QWidget *> widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!widget->isVisibleTo(window)) {
            continue;
        }
        if (const auto *browser = qobject_cast<const QTextEdit *>(widget)) {
            if (!scrolling.contains(browser->objectName())) {
                const QString fault = browserFault(browser);
                if (!fault.isEmpty()) {
                    faults << fault;
                }
            }
            continue;
        }
        TextPlace place;
        if (!placeOf(widget, &place)) {
            continue;
        }
        const QString what =
            nameOf(widget) + QStringLiteral(" \"") + place.text + QStringLiteral("\"");
        if (!place.area.contains(place.needed)) {
            faults << QStringLiteral("%1 needs %2, has %3")
                          .arg(what, describe(place.needed), describe(place.area));
        }
        const QRect inWindow = place.needed.translated(widget->mapTo(window, QPoint(0, 0)));
        if (!window->rect().contains(inWindow)) {
            faults << QStringLiteral("%1 lies outside its window: %2 in %3")
                          .arg(what, describe(inWindow), describe(window->rect()));
        }
        const QRect textInParent = place.needed.translated(widget->pos());
        const QStringList covering = coveringSiblings(widget, textInParent);
        if (!covering.isEmpty()) {
            faults << QStringLiteral("%1 is covered by %2").arg(what, covering.join(", "));
        }
    }
    return faults;
}
