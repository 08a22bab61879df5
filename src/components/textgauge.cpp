#include "components/textgauge.h"

#include "common/text_bytes.h"

#include <QDateTime>
#include <algorithm>
#include <limits>

namespace velmar::components {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == QChar(0x3000);
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

QString narrowDigits(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0xFF10 && u <= 0xFF19)
            out += QChar(u - 0xFF10 + u'0');
        else if (u == 0xFF0B)
            out += u'+';
        else if (u == 0xFF0D || u == 0x2212)
            out += u'-';
        else
            out += c;
    }
    return out;
}

namespace {

bool allDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString stripLeadingZeros(QStringView digits)
{
    qsizetype i = 0;
    while (i + 1 < digits.size() && digits[i] == u'0')
        ++i;
    return digits.mid(i).toString();
}

const QString kError = NumberCheckError.toString();

} // namespace

QString TextgaugeImpl::NumChk(QString& text, qint16 /*option*/)
{
    const QString narrow = narrowDigits(trimBlanks(text));
    if (!allDigits(narrow) || narrow.size() > 10)
        return kError;
    const qint64 value = narrow.toLongLong();
    if (value < 0 || value > 65535)
        return kError;
    return QString::number(value);
}

QString TextgaugeImpl::numnum(QString& text)
{
    const QString narrow = narrowDigits(trimBlanks(text));
    QStringView digits(narrow);
    QString sign;
    if (!digits.isEmpty() && (digits[0] == u'-' || digits[0] == u'+')) {
        if (digits[0] == u'-')
            sign = QStringLiteral("-");
        digits = digits.mid(1);
    }
    if (!allDigits(digits))
        return kError;
    const QString number = stripLeadingZeros(digits);
    return number == u"0" ? number : sign + number;
}

QString TextgaugeImpl::PasGene(qint16, qint16, qint16, qint16, qint16, qint16, qint16)
{
    constexpr qint64 limit = std::numeric_limits<qint32>::max();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    qint64 next = std::max(now, m_lastPacket + 1);
    if (next > limit)
        next = 1; // Past 2038 the numbers start over rather than overflow.
    m_lastPacket = next;
    return QString::number(next);
}

QString TextgaugeImpl::DayIs(qint16 /*mode*/)
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString TextgaugeImpl::ResAddText(QString& text, const QString& separator, const QString& mark)
{
    if (text.isEmpty() || separator.isEmpty())
        return text.isEmpty() ? text : mark + text;
    QString out;
    out.reserve(text.size() + text.size() / 8 * mark.size() + mark.size());
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype found = text.indexOf(separator, pos);
        out += mark;
        if (found < 0) {
            out += QStringView(text).mid(pos);
            break;
        }
        out += QStringView(text).mid(pos, found - pos + separator.size());
        pos = found + separator.size();
    }
    return out;
}

QString TextgaugeImpl::TRimText(QString& text, const QString& separator)
{
    if (separator.isEmpty())
        return trimBlanks(text).toString();
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    while (true) {
        const qsizetype found = text.indexOf(separator, pos);
        const qsizetype end = found < 0 ? text.size() : found;
        out += trimBlanks(QStringView(text).mid(pos, end - pos));
        if (found < 0)
            break;
        out += separator;
        pos = found + separator.size();
    }
    return out;
}

} // namespace velmar::components
