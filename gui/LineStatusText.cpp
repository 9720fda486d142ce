#include "gui/LineStatusText.h"

#include "gui/Cp1252Text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPixmap>

QString LineStatusText(const LineStatus& status, std::time_t now) {
    const QString reason =
        status.reason.empty() ? QString() : QStringLiteral(" (%1)").arg(FromCp1252(status.reason));
    switch (status.state) {
    case LineStatus::State::Unknown:
        return QString();
    case LineStatus::State::Listening:
        return QCoreApplication::translate("LineStatus", "Line: listening");
    case LineStatus::State::NoDriver:
        return QCoreApplication::translate("LineStatus", "No ISDN driver: no calls are received") +
               reason;
    case LineStatus::State::Lost: {
        const QString since = QLocale().toString(QDateTime::fromSecsSinceEpoch(status.since).time(),
                                                 QStringLiteral("HH:mm"));
        QString text = QCoreApplication::translate("LineStatus", "Line lost since %1").arg(since);
        if (status.retryAt > 0)
            text += status.retryAt > now
                        ? QCoreApplication::translate("LineStatus", ", retrying in %1 s")
                              .arg(qint64(status.retryAt - now))
                        : QCoreApplication::translate("LineStatus", ", retrying now");
        return text + reason;
    }
    }
    return QString();
}

bool LineDown(const LineStatus& status) {
    return status.state == LineStatus::State::Lost || status.state == LineStatus::State::NoDriver;
}

QIcon LineDownIcon(const QIcon& base) {
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap = base.pixmap(size, size, QIcon::Disabled);
        if (pixmap.isNull())
            continue;
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // A red "no entry" sign in the corner: seen also at 16 pixels and without colour vision
        // by its shape.
        const QRectF sign(size * 0.45, size * 0.45, size * 0.55, size * 0.55);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0xc0, 0x1c, 0x28));
        painter.drawEllipse(sign);
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(sign.left() + sign.width() * 0.2,
                                sign.center().y() - sign.height() * 0.1, sign.width() * 0.6,
                                sign.height() * 0.2));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
