#include "common/text_bytes.h"

namespace velmar {

namespace {

QByteArray utf16Bytes(QStringView text, bool littleEndian)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *out++ = static_cast<char>(littleEndian ? (u & 0xFF) : (u >> 8));
        *out++ = static_cast<char>(littleEndian ? (u >> 8) : (u & 0xFF));
    }
    return bytes;
}

} // namespace

QByteArray utf16LeBytes(QStringView text)
{
    return utf16Bytes(text, true);
}

QByteArray utf16BeBytes(QStringView text)
{
    return utf16Bytes(text, false);
}

} // namespace velmar
