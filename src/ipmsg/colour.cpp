#include "ipmsg/colour.h"

#include "settings/settings_store.h"

#include <QGuiApplication>
#include <QPalette>

namespace velmar::ipmsg {

std::optional<quint32> parseColourNumber(const QString& stored)
{
    if (settings::isUnset(stored))
        return std::nullopt;
    bool ok = false;
    const qint64 value = stored.trimmed().toLongLong(&ok);
    if (!ok || value < -2147483648LL || value > 4294967295LL)
        return std::nullopt;
    return static_cast<quint32>(value);
}

namespace {

QPalette::ColorRole systemRole(quint32 index)
{
    switch (index) {
    case 4:
        return QPalette::Window; // menu
    case 7:
        return QPalette::Text; // menu text
    case 8:
        return QPalette::Text; // window text
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 15:
        return QPalette::Button; // button face
    case 18:
        return QPalette::ButtonText;
    case 24:
        return QPalette::ToolTipBase;
    default:
        return QPalette::Base; // 5, window background, and the rest
    }
}

} // namespace

QColor colourFromNumber(quint32 value)
{
    if (value & 0x80000000u) {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return {};
        return QGuiApplication::palette().color(systemRole(value & 0xFFu));
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

} // namespace velmar::ipmsg
