#pragma once

// The six outside services, seen from the program: exactly the members it calls,
// with their arguments in order. Text arguments passed "by reference" are taken by
// reference; callers never read them back.

#include <QByteArray>
#include <QString>

namespace velmar::components {

// Every component created by name derives from this.
class Component {
public:
    virtual ~Component() = default;
};

// "Textgauge.Textgauge_class": character checks, packet numbers, reply marks, trimming.
class Textgauge : public Component {
public:
    static constexpr QStringView ProgId = u"Textgauge.Textgauge_class";

    // "error" when `text` is not an acceptable number, else the number as text.
    virtual QString NumChk(QString& text, qint16 option) = 0;
    // "error" when `text` is not a number, else a number text.
    virtual QString numnum(QString& text) = 0;
    // A fresh packet number per call: decimal digits that fit a signed 32-bit integer.
    virtual QString PasGene(qint16 a, qint16 b, qint16 c, qint16 d, qint16 e, qint16 f,
                            qint16 g) = 0;
    // The current date and time as readable text.
    virtual QString DayIs(qint16 mode) = 0;
    // `text` with `mark` put before every line (lines separated by `separator`).
    virtual QString ResAddText(QString& text, const QString& separator, const QString& mark) = 0;
    // `text` with blanks removed at the start and end of every line.
    virtual QString TRimText(QString& text, const QString& separator) = 0;
};

// "Chimer.Play": plays a sound file when a message arrives.
class Chimer : public Component {
public:
    static constexpr QStringView ProgId = u"Chimer.Play";
    virtual void Play(const QString& path) = 0;
};

// Outcome of the last CipherGate operation. A cancel (recipient dialog, passphrase
// entry) is no failure: the caller leaves the text alone and shows nothing.
enum class CipherStatus { Failed = -1, Ok = 0, Cancelled = 1 };

// Signatures found by the last decryption: none; all good and made by valid keys;
// anything else (bad, unknown key, expired or revoked key, unverified key).
enum class SignatureStatus { None = 0, Good = 2, Questionable = 3 };

// "CipherGate.Encrypt": PGP through the user's key ring. Each operation returns the
// input text unchanged when it fails or is cancelled.
class CipherGate : public Component {
public:
    static constexpr QStringView ProgId = u"CipherGate.Encrypt";
    // Sign flag "0": sign as well; anything else: encrypt only. ASCII armour.
    virtual QString EncryptUI(QString& text, QString& signFlag) = 0;
    // A clear-signed text.
    virtual QString SignUI(QString& text) = 0;
    // The plain text of an encrypted message (its signatures verified), or the text
    // of a clear-signed message after verifying it.
    virtual QString DecryptUI(QString& text) = 0;
    virtual CipherStatus IsError() = 0;
    virtual SignatureStatus IsSign() = 0;
    // Who signed, when, and the verdict, for the last decryption; ends with a line break.
    virtual QString GetVerifyResultString() = 0;
    // Asks an operation running on another thread to stop; it then ends as cancelled.
    // Safe to call from any thread, also before the operation has started.
    virtual void Cancel() {}
};

// "KanjiPipe.FilterAtl.1": Shift_JIS, JIS and ISO-2022-JP conversions.
class KanjiPipe : public Component {
public:
    static constexpr QStringView ProgId = u"KanjiPipe.FilterAtl.1";
    virtual QByteArray sjis2jis(QByteArray& bytes, QByteArray& kanjiIn, QByteArray& kanjiOut,
                                const QString& mode) = 0;
    virtual QByteArray FromSJIS(QString& text, const QString& option) = 0;
    virtual QString toSJIS(QByteArray& bytes) = 0;
};

// "Radixer.Base64Func".
class Radixer : public Component {
public:
    static constexpr QStringView ProgId = u"Radixer.Base64Func";
    virtual QString enBase64Bin(QByteArray& bytes) = 0;
    virtual QByteArray deBase64Bin(QString& text) = 0;
    virtual int IsError() = 0;
};

// "Escaper.HexCoding": URL escapes and hexadecimal.
class Escaper : public Component {
public:
    static constexpr QStringView ProgId = u"Escaper.HexCoding";
    virtual void SetAddChar(const QString& ch) = 0;
    virtual QString GetChar() = 0;
    virtual void SetNonChangeChar(const QString& chars) = 0;
    virtual void SetMode(const QString& mode) = 0;
    virtual QString EncodeBin(QByteArray& bytes) = 0;
    virtual QByteArray DecodeBin(QString& text) = 0;
    virtual QString PlasticHexData(QString& hex, qint32* lineWidth = nullptr) = 0;
    virtual int IsError() = 0;
};

} // namespace velmar::components
