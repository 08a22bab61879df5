#include "settings/colour_value.h"

#include <array>
#include <limits>

namespace velmar::settings {

namespace {

constexpr quint32 SystemColorBit = 0x80000000u;

// System colour indexes (low byte of a value with the top bit set) and the palette
// roles that play the same part here. Index 5, the window background, is Base.
constexpr std::array<QPalette::ColorRole, 25> SystemRoles = {
    QPalette::Button,          // 0 scroll bar
    QPalette::Window,          // 1 desktop
    QPalette::Highlight,       // 2 active title bar
    QPalette::Mid,             // 3 inactive title bar
    QPalette::Window,          // 4 menu
    QPalette::Base,            // 5 window background
    QPalette::Shadow,          // 6 window frame
    QPalette::WindowText,      // 7 menu text
    QPalette::Text,            // 8 window text
    QPalette::HighlightedText, // 9 title text
    QPalette::Window,          // 10 active border
    QPalette::Window,          // 11 inactive border
    QPalette::Dark,            // 12 workspace behind child windows
    QPalette::Highlight,       // 13 selection
    QPalette::HighlightedText, // 14 selected text
    QPalette::Button,          // 15 button face
    QPalette::Dark,            // 16 button shadow
    QPalette::PlaceholderText, // 17 greyed text
    QPalette::ButtonText,      // 18 button text
    QPalette::WindowText,      // 19 inactive title text
    QPalette::Light,           // 20 button highlight
    QPalette::Shadow,          // 21 dark 3D shadow
    QPalette::Midlight,        // 22 light 3D edge
    QPalette::ToolTipText,     // 23 tooltip text
    QPalette::ToolTipBase,     // 24 tooltip background
};

} // namespace

std::optional<quint32> parseColorValue(QStringView text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<qint32>::min() ||
        value > qlonglong(std::numeric_limits<quint32>::max()))
        return std::nullopt;
    return quint32(value);
}

std::optional<QColor> colorFromValue(quint32 value, const QPalette& palette)
{
    if (value & SystemColorBit) {
        const quint32 index = value & 0x00FFFFFFu;
        if (index >= SystemRoles.size())
            return std::nullopt;
        return palette.color(QPalette::Active, SystemRoles[index]);
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

std::optional<QColor> colorFromSetting(QStringView text, const QPalette& palette)
{
    const auto value = parseColorValue(text);
    if (!value)
        return std::nullopt;
    return colorFromValue(*value, palette);
}

quint32 colorToValue(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16);
}

} // namespace velmar::settings
