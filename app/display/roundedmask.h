#ifndef ROUNDEDMASK_H
#define ROUNDEDMASK_H

#include <QBitmap>
#include <QSize>

// A window mask of the given size that keeps a rounded rectangle with both
// corner radii equal to radius (in pixels); outside it the frameless window is
// neither drawn nor clickable.
QBitmap roundedMask(const QSize &size, qreal radius);

#endif // ROUNDEDMASK_H
