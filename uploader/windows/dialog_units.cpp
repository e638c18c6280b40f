#include "dialog_units.h"

#include <QFontMetrics>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace {

struct BaseUnits {
    double x;
    double y;
};

BaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double averageWidth = metrics.horizontalAdvance(alphabet) / 52.0;
    return {averageWidth / 4.0, metrics.height() / 8.0};
}

}  // namespace

QRect DialogRect(const QFont& font, int x, int y, int width, int height)
{
    const BaseUnits u = BaseUnitsOf(font);
    return QRect(qRound(x * u.x), qRound(y * u.y), qRound(width * u.x), qRound(height * u.y));
}

void PlaceControl(QWidget* control, int x, int y, int width, int height)
{
    const QWidget* parent = control->parentWidget();
    control->setGeometry(DialogRect(parent ? parent->font() : control->font(), x, y, width, height));
}

QSize DialogSize(const QFont& font, int width, int height)
{
    return DialogRect(font, 0, 0, width, height).size();
}

QIcon QuorraIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 32.0;
        // A chip with its pins and an arrow going in.
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.5 * s));
        for (int i = 0; i < 4; ++i) {
            const double at = (9 + i * 5) * s;
            p.drawLine(QPointF(at, 3 * s), QPointF(at, 29 * s));
            p.drawLine(QPointF(3 * s, at), QPointF(29 * s, at));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x20, 0x30, 0x50));
        p.drawRoundedRect(QRectF(6 * s, 6 * s, 20 * s, 20 * s), 2 * s, 2 * s);
        p.setBrush(QColor(0xF0, 0xB0, 0x20));
        const QPointF arrow[] = {{10 * s, 13 * s}, {16 * s, 13 * s}, {16 * s, 9 * s},
                                 {23 * s, 16 * s}, {16 * s, 23 * s}, {16 * s, 19 * s},
                                 {10 * s, 19 * s}};
        p.drawPolygon(arrow, 7);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
