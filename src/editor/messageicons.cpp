#include "editor/messageicons.h"

#include <QIconEngine>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>

namespace quillon::editor {

namespace {

// An icon painted at whatever size it is asked for: a blue disc with a white "i" or "?", or an
// amber triangle with a black "!".
class DrawnIconEngine : public QIconEngine
{
public:
    explicit DrawnIconEngine(QStyle::StandardPixmap kind) : m_kind(kind) { }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_kind); }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return picture;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const qreal margin = rect.width() / 16.0;
        const QRectF area = QRectF(rect).adjusted(margin, margin, -margin, -margin);
        QRectF markArea = area;
        QColor markColour = Qt::white;
        if (m_kind == QStyle::SP_MessageBoxWarning) {
            QPainterPath triangle;
            triangle.moveTo(area.center().x(), area.top());
            triangle.lineTo(area.bottomRight());
            triangle.lineTo(area.bottomLeft());
            triangle.closeSubpath();
            painter->setPen(QPen(QColor(0x9a, 0x6a, 0x00), margin / 2));
            painter->setBrush(QColor(0xf2, 0xb1, 0x1d));
            painter->drawPath(triangle);
            markArea.setTop(area.top() + area.height() / 4);
            markColour = Qt::black;
        } else {
            painter->setPen(QPen(QColor(0x12, 0x4a, 0x96), margin / 2));
            painter->setBrush(QColor(0x1f, 0x6f, 0xd0));
            painter->drawEllipse(area);
        }
        QFont font = painter->font();
        font.setBold(true);
        font.setPixelSize(qMax(1, qRound(area.height() * 0.62)));
        painter->setFont(font);
        painter->setPen(markColour);
        painter->drawText(markArea, Qt::AlignCenter, mark());
        painter->restore();
    }

private:
    QString mark() const
    {
        switch (m_kind) {
        case QStyle::SP_MessageBoxWarning:
            return QStringLiteral("!");
        case QStyle::SP_MessageBoxQuestion:
            return QStringLiteral("?");
        default:
            return QStringLiteral("i");
        }
    }

    QStyle::StandardPixmap m_kind;
};

// The window's style with drawn message icons; every other icon is the style's.
class DrawnMessageIconStyle : public QProxyStyle
{
public:
    QIcon standardIcon(
        StandardPixmap kind, const QStyleOption *option, const QWidget *widget) const override
    {
        switch (kind) {
        case SP_MessageBoxInformation:
        case SP_MessageBoxWarning:
        case SP_MessageBoxQuestion:
            return QIcon(new DrawnIconEngine(kind));
        default:
            return QProxyStyle::standardIcon(kind, option, widget);
        }
    }
};

} // namespace

void useScalableIcon(QMessageBox &box)
{
    auto *style = new DrawnMessageIconStyle;
    style->setParent(&box);
    // A new style makes the box fetch its icon again, now from the drawn ones.
    box.setStyle(style);
}

} // namespace quillon::editor
