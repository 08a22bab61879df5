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

// "〜 (U+301C)" for a box that lists characters an encoding lacks; the code alone for
// a control character or an unpaired surrogate, which cannot be shown.
QString describeCharacter(const QString& character);

} // namespace velmar
