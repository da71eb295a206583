// A named child of a window, which the test needs: a missing one ends the
// test program with its name.
#ifndef CHILDWIDGET_H
#define CHILDWIDGET_H

#include <QWidget>

template <typename T> T *child(QWidget *window, const char *name) {
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found) {
        qFatal("missing widget %s", name);
    }
    return found;
}

#endif // CHILDWIDGET_H
