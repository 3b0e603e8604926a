#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace qv {
namespace {

template <class Draw> QIcon draw(int size, Draw&& paint)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p, static_cast<qreal>(size));
    p.end();
    return QIcon(pm);
}

void magnifier(QPainter& p, qreal s)
{
    p.setPen(QPen(QColor(40, 70, 120), s * 0.11, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(s * 0.12, s * 0.12, s * 0.5, s * 0.5));
    p.drawLine(QPointF(s * 0.56, s * 0.56), QPointF(s * 0.88, s * 0.88));
}

} // namespace

QIcon searchIcon()
{
    return draw(32, magnifier);
}

QIcon printIcon()
{
    return draw(32, [](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(60, 60, 60), s * 0.05));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.28, s * 0.1, s * 0.44, s * 0.3));
        p.setBrush(QColor(150, 150, 160));
        p.drawRoundedRect(QRectF(s * 0.1, s * 0.38, s * 0.8, s * 0.34), s * 0.06, s * 0.06);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.28, s * 0.6, s * 0.44, s * 0.3));
    });
}

QIcon stopIcon()
{
    return draw(32, [](QPainter& p, qreal s) {
        QPainterPath oct;
        const qreal a = s * 0.3, b = s * 0.7;
        oct.moveTo(a, s * 0.05);
        oct.lineTo(b, s * 0.05);
        oct.lineTo(s * 0.95, a);
        oct.lineTo(s * 0.95, b);
        oct.lineTo(b, s * 0.95);
        oct.lineTo(a, s * 0.95);
        oct.lineTo(s * 0.05, b);
        oct.lineTo(s * 0.05, a);
        oct.closeSubpath();
        p.setPen(QPen(QColor(120, 0, 0), s * 0.04));
        p.setBrush(QColor(210, 30, 30));
        p.drawPath(oct);
        p.setPen(QPen(Qt::white, s * 0.1));
        p.drawLine(QPointF(s * 0.25, s * 0.5), QPointF(s * 0.75, s * 0.5));
    });
}

QIcon previousIcon()
{
    return draw(24, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 40));
        p.drawPolygon(QPolygonF({QPointF(s * 0.5, s * 0.15), QPointF(s * 0.85, s * 0.75), QPointF(s * 0.15, s * 0.75)}));
    });
}

QIcon nextIcon()
{
    return draw(24, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 40));
        p.drawPolygon(QPolygonF({QPointF(s * 0.15, s * 0.25), QPointF(s * 0.85, s * 0.25), QPointF(s * 0.5, s * 0.85)}));
    });
}

QIcon programIcon()
{
    return draw(64, [](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(90, 90, 90), s * 0.03));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(s * 0.08, s * 0.05, s * 0.6, s * 0.78));
        p.setPen(QPen(QColor(170, 170, 170), s * 0.03));
        for (int i = 0; i < 5; ++i)
            p.drawLine(QPointF(s * 0.16, s * (0.18 + 0.12 * i)), QPointF(s * 0.6, s * (0.18 + 0.12 * i)));
        p.translate(s * 0.3, s * 0.3);
        magnifier(p, s * 0.7);
    });
}

} // namespace qv
