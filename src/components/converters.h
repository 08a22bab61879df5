#pragma once

// The built-in kanji filter, Base64 and URL/hex components: thin adapters from the
// component members to the conversions of convert/.

#include "components/components.h"

#include <QString>

namespace velmar::components {

// "KanjiPipe.FilterAtl.1".
// - sjis2jis takes the escape arrays up to their first zero byte; an array without
//   escape bytes stands for ESC $ B or ESC ( B. A mode other than "0" or "1" gives no
//   bytes.
// - FromSJIS writes a character that Shift_JIS lacks as 〓; only the option "j"
//   (ISO-2022-JP) exists, any other gives no bytes.
// - toSJIS reads a code that names no character of the code page (an empty cell of the
//   kanji rows) as 〓.
class KanjiPipeImpl final : public KanjiPipe {
public:
    QByteArray sjis2jis(QByteArray& bytes, QByteArray& kanjiIn, QByteArray& kanjiOut,
                        const QString& mode) override;
    QByteArray FromSJIS(QString& text, const QString& option) override;
    QString toSJIS(QByteArray& bytes) override;
};

// "Radixer.Base64Func": IsError is 0 after a successful call, -1 after a failed decode.
class RadixerImpl final : public Radixer {
public:
    QString enBase64Bin(QByteArray& bytes) override;
    QByteArray deBase64Bin(QString& text) override;
    int IsError() override { return m_error; }

private:
    int m_error = 0;
};

// "Escaper.HexCoding". Mode "0" (the initial one) is plain hexadecimal; mode "1" writes
// the bytes of the kept set as themselves and every other byte as the escape character
// followed by two hexadecimal digits. GetChar answers the unreserved characters of
// RFC 3986. The escape character is "%" until SetAddChar names another ASCII character.
// PlasticHexData without a width lays out 16 bytes a line.
class EscaperImpl final : public Escaper {
public:
    void SetAddChar(const QString& ch) override;
    QString GetChar() override;
    void SetNonChangeChar(const QString& chars) override;
    void SetMode(const QString& mode) override;
    QString EncodeBin(QByteArray& bytes) override;
    QByteArray DecodeBin(QString& text) override;
    QString PlasticHexData(QString& hex, qint32* lineWidth = nullptr) override;
    int IsError() override { return m_error; }

    static constexpr qint32 DefaultLineWidth = 49;

private:
    enum class Mode { Hex, Escapes };

    Mode m_mode = Mode::Hex;
    QChar m_escape = u'%';
    QString m_kept;
    int m_error = 0;
};

} // namespace velmar::components
