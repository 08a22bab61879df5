#pragma once

// Small conversions between the program's text and bytes, shared by every layer.

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace velmar {

// What the character-check component answers for text that is no acceptable number.
inline constexpr QStringView NumberCheckError = u"error";

// The code units of `text`, low byte first, unpaired surrogates included: the
// exact bytes of a text, whatever it holds.
QByteArray utf16LeBytes(QStringView text);
// The same, high byte first.
QByteArray utf16BeBytes(QStringView text);

} // namespace velmar
