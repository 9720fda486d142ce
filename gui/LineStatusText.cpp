#include "gui/LineStatusText.h"

#include "capi/CCAPIAccess.h"
#include "gui/Cp1252Text.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QStringList>

#include <algorithm>

namespace {

QString Translated(const char* text) {
    return QCoreApplication::translate("LineStatus", text);
}

QString LostText(const LineStatus& status, std::time_t now, const char* since) {
    const QString at = QLocale().toString(QDateTime::fromSecsSinceEpoch(status.since).time(),
                                          QStringLiteral("HH:mm"));
    QString text = Translated(since).arg(at);
    if (status.retryAt > 0)
        text += status.retryAt > now
                    ? Translated(QT_TRANSLATE_NOOP("LineStatus", ", retrying in %1 s"))
                          .arg(qint64(status.retryAt - now))
                    : Translated(QT_TRANSLATE_NOOP("LineStatus", ", retrying now"));
    return text;
}

QString Reason(const LineStatus& status) {
    return status.reason.empty() ? QString()
                                 : QStringLiteral(" (%1)").arg(FromCp1252(status.reason));
}

// One line's state after its name.
QString SourceStateText(const LineStatus& status, std::time_t now) {
    switch (status.state) {
    case LineStatus::State::Unknown:
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "starting"));
    case LineStatus::State::Listening:
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "listening"));
    case LineStatus::State::NoDriver:
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "no ISDN driver")) + Reason(status);
    case LineStatus::State::Lost:
        return LostText(status, now, QT_TRANSLATE_NOOP("LineStatus", "lost since %1")) +
               Reason(status);
    }
    return QString();
}

QString Named(const SourceLineStatus& source, std::time_t now) {
    return Translated(QT_TRANSLATE_NOOP("LineStatus", "%1: %2"))
        .arg(source.label, SourceStateText(source.status, now));
}

} // namespace

QString LineStatusText(const LineStatus& status, std::time_t now) {
    switch (status.state) {
    case LineStatus::State::Unknown:
        return QString();
    case LineStatus::State::Listening:
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "Line: listening"));
    case LineStatus::State::NoDriver:
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "No ISDN driver: no calls are received")) +
               Reason(status);
    case LineStatus::State::Lost:
        return LostText(status, now, QT_TRANSLATE_NOOP("LineStatus", "Line lost since %1")) +
               Reason(status);
    }
    return QString();
}

QString LineSourceLabel(const std::string& name, const std::string& where) {
    const QString at = QString::fromStdString(where);
    if (name == "capi")
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "CAPI"));
    if (name == "sim")
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "simulated line"));
    if (name == "callmonitor")
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "call monitor %1")).arg(at).trimmed();
    if (name == "ami")
        return Translated(QT_TRANSLATE_NOOP("LineStatus", "AMI %1")).arg(at).trimmed();
    return (QString::fromStdString(name) + QLatin1Char(' ') + at).trimmed();
}

QString LineStatusesText(const std::vector<SourceLineStatus>& sources, std::time_t now) {
    const bool anyTold = std::any_of(sources.begin(), sources.end(), [](const auto& source) {
        return source.status.state != LineStatus::State::Unknown;
    });
    if (!anyTold)
        return QString();
    QStringList parts;
    for (const SourceLineStatus& source : sources)
        parts << Named(source, now);
    return parts.join(QStringLiteral(" \u00b7 "));
}

QString LineTroubleText(const std::vector<SourceLineStatus>& sources, std::time_t now) {
    QStringList parts;
    for (const SourceLineStatus& source : sources)
        if (LineDown(source.status))
            parts << Named(source, now);
    return parts.join(QLatin1Char('\n'));
}

LineStatus LineStatusAfter(const LineStatus& current, const LineReport& report, std::time_t now) {
    using Kind = LineReport::Kind;
    LineStatus next = current;
    // Lost from the first report of trouble on; later ones keep that moment.
    const auto lost = [&] {
        if (next.state != LineStatus::State::Lost) {
            next.state = LineStatus::State::Lost;
            next.since = now;
            next.reason.clear();
        }
    };
    const auto retryIn = [&](unsigned seconds) {
        if (seconds > 0)
            next.retryAt = now + std::time_t(seconds);
    };
    const bool noDriver = current.state == LineStatus::State::NoDriver;
    switch (report.kind) {
    case Kind::Listening:
    case Kind::ListeningAgain:
        next = LineStatus();
        next.state = LineStatus::State::Listening;
        return next;
    case Kind::RegistrationFailed:
        if (report.text == NoDriverError) {
            next = LineStatus();
            next.state = LineStatus::State::NoDriver;
            return next;
        }
        lost();
        next.reason = report.text;
        break;
    default:
        // The line process ending and its restarts change nothing until a driver is installed.
        if (noDriver)
            return current;
        break;
    }
    switch (report.kind) {
    case Kind::Listening:
    case Kind::ListeningAgain:
    case Kind::RegistrationFailed:
        break;
    case Kind::ConnectionLost:
    case Kind::Undecodable:
        lost();
        next.retryAt = 0;
        if (!report.text.empty()) // a network source says why
            next.reason = report.text;
        break;
    case Kind::ProcessEnded:
        lost();
        if (next.reason.empty()) // a registration's error says more than the exit it caused
            next.reason = report.text;
        retryIn(report.seconds);
        break;
    case Kind::ProcessSilent:
    case Kind::RegistrationUnanswered:
    case Kind::RetryingIn:
        lost();
        retryIn(report.seconds);
        break;
    case Kind::SharedLockReleased:
    case Kind::PipeGarbled:
        break;
    }
    return next;
}

LineStatus WorstLineStatus(const std::map<std::string, LineStatus>& bySource) {
    const auto rank = [](LineStatus::State state) {
        switch (state) {
        case LineStatus::State::Unknown:
            return 0;
        case LineStatus::State::Listening:
            return 1;
        case LineStatus::State::NoDriver:
            return 2;
        case LineStatus::State::Lost:
            return 3;
        }
        return 0;
    };
    LineStatus worst;
    std::string worstSource;
    for (const auto& [source, status] : bySource)
        if (rank(status.state) > rank(worst.state)) {
            worst = status;
            worstSource = source;
        }
    if (!worstSource.empty() && LineDown(worst))
        worst.reason = worst.reason.empty() ? worstSource : worstSource + ": " + worst.reason;
    return worst;
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
