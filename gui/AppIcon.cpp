#include "gui/AppIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon MonitorAppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
        // A handset lying on its cradle: the usual picture for "telephone".
        painter.setPen(QPen(Qt::white, size / 8.0, Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        QRectF arc(size * 0.18, size * 0.22, size * 0.64, size * 0.5);
        painter.drawArc(arc, 20 * 16, 140 * 16);
        painter.setBrush(Qt::white);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(size * 0.25, size * 0.52, size * 0.5, size * 0.3),
                                size / 16.0, size / 16.0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
