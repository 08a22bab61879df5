#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace velmar::ipmsg {

// A stored colour number: 0x00BBGGRR, or with the top bit set the index of a system
// colour (0x80000005 is the window background). Stored as signed decimal text.
// nullopt for "NULL" (any case) and for text that is not a 32-bit number.
std::optional<quint32> parseColourNumber(const QString& stored);

// The colour a number names. System colours follow the application palette (the
// window background is the palette's Base); without a GUI application they give an
// invalid colour, which views draw as their normal background.
QColor colourFromNumber(quint32 value);

} // namespace velmar::ipmsg
