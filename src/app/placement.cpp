#include "app/placement.h"

#include "app/stored_number.h"

#include <QStringList>
#include <array>

namespace velmar::app {

qreal twipsPerPixel(qreal dpi)
{
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

std::optional<QRect> placementFromTwips(const QString& stored, qreal scale)
{
    const QStringList parts = stored.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> values{};
    for (std::size_t i = 0; i < values.size(); ++i) {
        bool ok = false;
        values[i] = parts[static_cast<qsizetype>(i)].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return QRect(qRound(values[0] / scale), qRound(values[1] / scale), qRound(values[2] / scale),
                 qRound(values[3] / scale));
}

QString placementToTwips(const QRect& geometry, qreal scale)
{
    return QStringList{QString::number(qRound(geometry.x() * scale)),
                       QString::number(qRound(geometry.y() * scale)),
                       QString::number(qRound(geometry.width() * scale)),
                       QString::number(qRound(geometry.height() * scale))}
        .join(u',');
}

QString placementToStore(const QRect& geometry, qreal scale, bool positionKnown,
                         const QString& stored)
{
    const QString now = placementToTwips(geometry, scale);
    if (positionKnown || !placementFromTwips(stored, scale))
        return now;
    const QStringList kept = stored.split(u',');
    const QStringList sized = now.split(u',');
    return QStringList{kept[0].trimmed(), kept[1].trimmed(), sized[2], sized[3]}.join(u',');
}

std::optional<StartMode> startModeFromValue(const QString& stored)
{
    if (stored == u"3")
        return StartMode::Tray;
    const std::optional<double> value = numericValue(stored);
    if (!value)
        return std::nullopt;
    if (*value == 0)
        return StartMode::Normal;
    if (*value == 1)
        return StartMode::Minimised;
    if (*value == 2)
        return StartMode::Maximised;
    return std::nullopt;
}

QString startModeValue(StartMode mode)
{
    switch (mode) {
    case StartMode::Minimised:
        return QStringLiteral("1");
    case StartMode::Maximised:
        return QStringLiteral("2");
    case StartMode::Tray:
        return QStringLiteral("3");
    case StartMode::Normal:
        break;
    }
    return QStringLiteral("0");
}

} // namespace velmar::app
