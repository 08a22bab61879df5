#include "common/text_bytes.h"
#include "convert/text_bytes.h"

#include <gtest/gtest.h>

using namespace velmar::convert;
using velmar::describeCharacter;
using namespace Qt::StringLiterals;

namespace {

TEST(TextBytes, ByteFormsOfAText)
{
    struct Case {
        QString text;
        ByteForm form;
        QByteArray bytes;
        QStringList unfit;
    };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const Case cases[] = {
        {u"abc"_s, ByteForm::ShiftJis, "abc", {}},
        {u"abc"_s, ByteForm::Utf16Le, QByteArray("a\0b\0c\0", 6), {}},
        {u"abc"_s, ByteForm::Utf8, "abc", {}},
        {u"日本\r\n"_s, ByteForm::ShiftJis, "\x93\xFA\x96\x7B\r\n", {}},
        {u"日本"_s, ByteForm::Utf8, "\xE6\x97\xA5\xE6\x9C\xAC", {}},
        {u"a"_s + emoji + u"한"_s + emoji, ByteForm::ShiftJis, {}, {emoji, u"한"_s}},
        // A best-fit mapping (¥ written as a backslash) would change the text.
        {u"¥"_s, ByteForm::ShiftJis, {}, {u"¥"_s}},
        {u"x"_s + QChar(0xD800), ByteForm::Utf8, {}, {QString(QChar(0xD800))}},
        {QString(QChar(0xD800)), ByteForm::Utf16Le, QByteArray("\x00\xD8", 2), {}},
    };
    for (const Case& c : cases) {
        const TextBytes result = textToBytes(c.text, c.form);
        EXPECT_EQ(result.bytes, c.bytes) << c.text.toStdString();
        EXPECT_EQ(result.unfit, c.unfit) << c.text.toStdString();
    }
    EXPECT_EQ(shiftJisWithGeta(u"a"_s + emoji + u"本"_s), QByteArray("a\x81\xAC\x96\x7B"));
    EXPECT_EQ(describeCharacter(emoji), emoji + u" (U+1F600)"_s);
    EXPECT_EQ(describeCharacter(QString(QChar(0xD800))), u"U+D800"_s);
}

TEST(TextBytes, DecodedBytesPreferUtf8ThenTheCallersForm)
{
    struct Case {
        QByteArray bytes;
        DecodedForm form;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"\xE6\x97\xA5\xE6\x9C\xAC", DecodedForm::Utf16Le, u"日本"_s},
        {"\xE6\x97\xA5\xE6\x9C\xAC", DecodedForm::ShiftJis, u"日本"_s},
        {"\x93\xFA\x96\x7B", DecodedForm::ShiftJis, u"日本"_s},
        {"pe,g", DecodedForm::Utf16Le, u"数本"_s},
        {QByteArray("a\0b\0", 4), DecodedForm::Utf16Le, u"ab"_s},
        {"abcd", DecodedForm::Utf16Le, u"扡摣"_s},
        // UTF-8 with a NUL byte is binary, read as the caller says.
        {QByteArray("\xC3\xA9\0\0", 4), DecodedForm::Utf16Le, u"꧃"_s + QChar(0)},
        // An odd count cannot be UTF-16: read as Shift_JIS.
        {"abc", DecodedForm::Utf16Le, u"abc"_s},
        {"\x80", DecodedForm::ShiftJis, std::nullopt},
        {"\x80", DecodedForm::Utf16Le, std::nullopt},
        {"", DecodedForm::Utf16Le, u""_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textFromDecodedBytes(c.bytes, c.form), c.text) << c.bytes.toHex().toStdString();
}

} // namespace
