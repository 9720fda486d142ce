#include "gui/OutputStatusText.h"

#include <QCoreApplication>
#include <QStringList>

QString OutputStatusText(const std::vector<OutputStatus>& statuses) {
    QStringList lines;
    for (const OutputStatus& status : statuses) {
        const QString name = QString::fromStdString(status.output);
        const QString text = QString::fromStdString(status.text);
        switch (status.health) {
        case OutputHealth::Starting:
            lines << QCoreApplication::translate("OutputStatus", "%1: starting").arg(name);
            break;
        case OutputHealth::Working:
            lines << (text.isEmpty()
                          ? QCoreApplication::translate("OutputStatus", "%1: working").arg(name)
                          : QStringLiteral("%1: %2").arg(name, text));
            break;
        case OutputHealth::Failing:
            lines << QCoreApplication::translate("OutputStatus", "%1 failing: %2").arg(name, text);
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}
