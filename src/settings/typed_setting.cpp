#include "settings/typed_setting.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace velmar::settings {

std::optional<double> numericValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

qint64 wholeNumber(const QString& text)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t.at(i) == u'-' || t.at(i) == u'+')) {
        negative = t.at(i) == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < t.size() && t.at(i) >= u'0' && t.at(i) <= u'9'; ++i) {
        if (value < (qint64(1) << 40))
            value = value * 10 + (t.at(i).unicode() - u'0');
    }
    return negative ? -value : value;
}

std::optional<bool> styleFlag(const QString& text)
{
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

int hexLineWidth(const QString& text)
{
    const std::optional<double> value = numericValue(text);
    // Compared as a double: "1e300" must not reach an integer conversion.
    if (!value || std::floor(*value) < 1)
        return DefaultHexLineWidth;
    if (*value >= MaxHexLineWidth)
        return MaxHexLineWidth;
    return static_cast<int>(std::floor(*value));
}

std::optional<double> fontPoints(const QString& text)
{
    if (isUnset(text))
        return std::nullopt;
    const std::optional<double> value = numericValue(text);
    if (!value || *value <= 0)
        return std::nullopt;
    return std::clamp(*value, MinFontPoints, MaxFontPoints);
}

int retryTimes(const QString& text)
{
    // Full-width digits, as a Japanese input method types them, count as digits.
    QString narrow = text;
    for (QChar& c : narrow) {
        if (c.unicode() >= u'０' && c.unicode() <= u'９')
            c = QChar(char16_t(c.unicode() - u'０' + u'0'));
    }
    const std::optional<double> value = numericValue(narrow);
    if (!value)
        return DefaultRetryCount;
    return static_cast<int>(std::clamp(std::trunc(*value), double(MinRetry), double(MaxRetry)));
}

quint16 portFromCheck(const QString& checked, quint16 fallback)
{
    bool ok = false;
    const uint port = checked.toUInt(&ok);
    if (!ok || port < 1 || port > 0xFFFF)
        return fallback;
    return static_cast<quint16>(port);
}

std::optional<QRect> placementTwips(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return QRect(values[0], values[1], values[2], values[3]);
}

std::optional<QRect> fitPlacement(const QRect& wanted, const QRect& available, const QSize& minimum)
{
    if (wanted.width() <= 0 || wanted.height() <= 0 || available.isEmpty())
        return std::nullopt;
    const QSize size = wanted.size().expandedTo(minimum).boundedTo(available.size());
    // In 64 bits: a stored position may lie anywhere in the int range.
    const auto place = [](qint64 at, qint64 first, qint64 span, qint64 length) {
        return static_cast<int>(std::clamp(at, first, first + span - length));
    };
    return QRect(place(wanted.x(), available.x(), available.width(), size.width()),
                 place(wanted.y(), available.y(), available.height(), size.height()), size.width(),
                 size.height());
}

} // namespace velmar::settings
