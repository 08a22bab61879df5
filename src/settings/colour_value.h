#pragma once

// Colours as the settings store them: 32-bit numbers in the layout 0x00BBGGRR (red in
// the low byte), written as signed decimal text; a value with the top bit set names a
// system colour by its index (0x80000005 is the window background).

#include <QColor>
#include <QPalette>
#include <QStringView>
#include <optional>

namespace velmar::settings {

// A colour value as stored in the settings: signed or unsigned decimal text of a
// 32-bit number, blanks around it allowed. Anything else (empty, letters, out of range) is no
// colour.
std::optional<quint32> parseColorValue(QStringView text);

// 0x00BBGGRR to a colour; a value with the top bit set names a system colour by its
// index in the low byte and is taken from `palette`. An unknown index is no colour.
std::optional<QColor> colorFromValue(quint32 value, const QPalette& palette);
// Both steps at once, for values read from the settings.
std::optional<QColor> colorFromSetting(QStringView text, const QPalette& palette);
// A chosen colour as 0x00BBGGRR.
quint32 colorToValue(const QColor& colour);

} // namespace velmar::settings
