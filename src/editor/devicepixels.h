#pragma once

#include <QPainter>
#include <QRect>

namespace quillon::editor {

// Makes one unit of the painter one device pixel and returns the logical rectangle in those
// units. Thin lines drawn after it with a cosmetic pen are one device pixel at any device pixel
// ratio and lie on the rectangle's own edge pixels, where a one-pixel pen in logical units
// would be as thick as the ratio and leave a seam of unpainted device pixels beside it.
// The painter's transformation may translate and scale, not rotate.
inline QRect enterDevicePixels(QPainter &painter, const QRect &logical)
{
    const qreal ratio = painter.deviceTransform().m11();
    painter.scale(1 / ratio, 1 / ratio);
    return {qRound(logical.x() * ratio), qRound(logical.y() * ratio),
        qRound(logical.width() * ratio), qRound(logical.height() * ratio)};
}

} // namespace quillon::editor
