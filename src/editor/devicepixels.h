#pragma once

#include <QPainter>
#include <QRect>
#include <QTransform>

namespace quillon::editor {

// Makes one unit of the painter one device pixel of the device it paints on and returns the
// device pixels the logical rectangle covers. Thin lines drawn after it with a cosmetic pen are
// one device pixel at any device pixel ratio and lie on the rectangle's own edge pixels, where a
// one-pixel pen in logical units would be as thick as the ratio and leave a seam of unpainted
// device pixels beside it. Edges are rounded alike for every rectangle, so neighbours at a
// fractional ratio neither overlap nor leave a gap.
inline QRect enterDevicePixels(QPainter &painter, const QRect &logical)
{
    const QTransform toDevice = painter.deviceTransform();
    const QRectF exact = toDevice.mapRect(QRectF(logical));
    painter.setWorldTransform(toDevice.inverted() * painter.worldTransform());
    return QRect(QPoint(qRound(exact.left()), qRound(exact.top())),
        QPoint(qRound(exact.right()) - 1, qRound(exact.bottom()) - 1));
}

} // namespace quillon::editor
