#include "components/registry.h"
#include "convert/conversion_commands.h"
#include "platform/fakes.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace velmar;
using namespace Qt::StringLiterals;
using convert::Coding;
using convert::JisDirection;

namespace {

class FakeMenu final : public convert::ConversionMenu {
public:
    int jisIn() const override { return in; }
    int jisOut() const override { return out; }
    convert::ByteForm byteForm() const override { return form; }
    QString hexWidth() const override { return width; }
    void disableBase64() override { disabled << u"base64"_s; }
    void disableUrlHex() override { disabled << u"urlhex"_s; }

    int in = 2;
    int out = 3;
    convert::ByteForm form = convert::ByteForm::Utf16Le;
    QString width = u"49"_s;
    QStringList disabled;
};

// The active window's text; `exists` false stands for no window at all.
class FakeWindow final : public convert::ActiveText {
public:
    bool exists() const override { return present; }
    QString text() const override { return present ? value : QString(); }
    void setText(const QString& text) override
    {
        if (present)
            value = text;
    }
    bool present = false;
    QString value;
};

class ConversionCommandsTest : public ::testing::Test {
protected:
    FakeWindow window;
    platform::RecordingMessageBoxes boxes;
    components::ComponentRegistry registry = components::ComponentRegistry::withBuiltins();
    FakeMenu menu;
    convert::ConversionCommands commands{window, boxes, registry, menu};

    void windowWith(const QString& text)
    {
        window.present = true;
        window.value = text;
    }
    QString run(const QString& text, const std::function<void()>& command)
    {
        windowWith(text);
        command();
        return window.value;
    }
};

TEST_F(ConversionCommandsTest, JisCommandsUseTheChosenEscapes)
{
    struct Case {
        QString text;
        int in;
        int out;
        JisDirection direction;
        QString result;
    };
    const Case cases[] = {
        {u"漢字"_s, 2, 3, JisDirection::ToJis, u"\x1B$B4A;z\x1B(B"_s},
        {u"漢字"_s, 5, 1, JisDirection::ToJis, u"\x1B&@\x1B$B4A;z\x1B(J"_s},
        {u"a\x1BK4A\x1B(Hb"_s, 2, 3, JisDirection::ToShiftJis, u"a漢b"_s},
        {u"plain text\r\n"_s, 2, 3, JisDirection::ToJis, u"plain text\r\n"_s},
        {u"plain text\r\n"_s, 2, 3, JisDirection::ToShiftJis, u"plain text\r\n"_s},
    };
    for (const Case& c : cases) {
        menu.in = c.in;
        menu.out = c.out;
        EXPECT_EQ(run(c.text, [&] { commands.convertJis(c.direction); }), c.result)
            << c.text.toStdString();
    }
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(ConversionCommandsTest, NothingHappensWithoutWindowTextOrFilter)
{
    commands.convertJis(JisDirection::ToJis);
    commands.toIso2022jp();
    commands.toShiftJis();
    EXPECT_TRUE(boxes.boxes.isEmpty());

    windowWith(u""_s);
    commands.convertJis(JisDirection::ToJis);
    commands.toIso2022jp();
    EXPECT_EQ(window.value, u""_s);

    registry.remove(components::KanjiPipe::ProgId.toString());
    window.value = u"漢字"_s;
    commands.convertJis(JisDirection::ToJis);
    EXPECT_TRUE(boxes.boxes.isEmpty());
    commands.toIso2022jp();
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes[0].title, u"エラー"_s);
    EXPECT_EQ(boxes.boxes[0].text, u"KanjiPipe が必要"_s);
    EXPECT_EQ(window.value, u"漢字"_s);
}

TEST_F(ConversionCommandsTest, Iso2022jpThereAndBack)
{
    const QString text = u"お世話になります。\r\nｶﾞｲﾄﾞ ①\r\nabc"_s;
    windowWith(text);
    commands.toIso2022jp();
    EXPECT_TRUE(window.value.startsWith(u"\x1B$B"_s));
    commands.toShiftJis();
    EXPECT_EQ(window.value, u"お世話になります。\r\nガイド ①\r\nabc"_s);
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(ConversionCommandsTest, CharactersShiftJisLacksStopTheCommand)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString text = u"abc"_s + emoji;
    menu.form = convert::ByteForm::ShiftJis;
    const std::function<void()> runs[] = {
        [&] { commands.convertJis(JisDirection::ToJis); },
        [&] { commands.convertJis(JisDirection::ToShiftJis); },
        [&] { commands.toIso2022jp(); },
        [&] { commands.toShiftJis(); },
        [&] { commands.base64Command(Coding::Encode); },
        [&] { commands.urlCommand(Coding::Encode); },
        [&] { commands.hexCommand(Coding::Encode); },
    };
    for (const auto& command : runs) {
        boxes.boxes.clear();
        EXPECT_EQ(run(text, command), text);
        ASSERT_EQ(boxes.boxes.size(), 1);
        EXPECT_TRUE(boxes.boxes[0].text.contains(emoji + u" (U+1F600)"_s));
        EXPECT_TRUE(boxes.boxes[0].text.startsWith(u"Shift_JIS"_s));
    }
}

TEST_F(ConversionCommandsTest, CharactersWithoutJisCodeBecomeGetaAndAreCounted)
{
    const QString text = u"a"_s + QChar(0xE000) + u"漢"_s + QChar(0xE001);
    EXPECT_EQ(run(text, [&] { commands.convertJis(JisDirection::ToJis); }),
              u"a\x1B$B\".4A\".\x1B(B"_s);
    EXPECT_EQ(run(text, [&] { commands.toIso2022jp(); }), u"a\x1B$B\".4A\".\x1B(B"_s);
    ASSERT_EQ(boxes.boxes.size(), 2);
    for (const auto& box : boxes.boxes) {
        EXPECT_EQ(box.title, u"情報"_s);
        EXPECT_TRUE(box.text.contains(u"2 個"_s));
    }
}

TEST_F(ConversionCommandsTest, EncodersUseTheChosenByteForm)
{
    struct Case {
        convert::ByteForm form;
        QString hex;
    };
    const Case cases[] = {
        {convert::ByteForm::ShiftJis, u"61 62 63"_s},
        {convert::ByteForm::Utf16Le, u"61 00 62 00 63 00"_s},
        {convert::ByteForm::Utf8, u"61 62 63"_s},
    };
    for (const Case& c : cases) {
        menu.form = c.form;
        EXPECT_EQ(run(u"abc"_s, [&] { commands.hexCommand(Coding::Encode); }), c.hex);
    }
    menu.form = convert::ByteForm::Utf8;
    EXPECT_EQ(run(u"日本 x"_s, [&] { commands.urlCommand(Coding::Encode); }),
              u"%E6%97%A5%E6%9C%AC%20x"_s);
    EXPECT_EQ(run(u"日本"_s, [&] { commands.base64Command(Coding::Encode); }), u"5pel5pys"_s);
}

TEST_F(ConversionCommandsTest, HexLayoutFollowsTheStoredWidth)
{
    struct Case {
        QString width;
        int lines;
    };
    // 40 bytes: 16 a line at 49 (and without a usable width), 10 a line at 29.
    const Case cases[] = {{u"49"_s, 3}, {u"x"_s, 3}, {u"0"_s, 3}, {u"29"_s, 4}, {u"29.9"_s, 4}};
    menu.form = convert::ByteForm::ShiftJis;
    for (const Case& c : cases) {
        menu.width = c.width;
        const QString hex = run(QString(40, u'a'), [&] { commands.hexCommand(Coding::Encode); });
        EXPECT_EQ(hex.count(u"\r\n"_s) + 1, c.lines) << c.width.toStdString();
    }
}

TEST_F(ConversionCommandsTest, DecodingKeepsTheTextWhenItFails)
{
    struct Case {
        QString text;
        void (convert::ConversionCommands::*command)(Coding);
        QString result;
        QString box; // empty: no box
    };
    const auto url = &convert::ConversionCommands::urlCommand;
    const auto base64 = &convert::ConversionCommands::base64Command;
    const auto hex = &convert::ConversionCommands::hexCommand;
    const QString unreadable =
        u"デコードした内容はテキストとして読めないため、変更しませんでした。"_s;
    const Case cases[] = {
        {u"%E6%97%A5%E6%9C%AC"_s, url, u"日本"_s, {}},
        {u"https%3A%2F%2Fexample.com%2F"_s, url, u"https://example.com/"_s, {}},
        {u"a%00b%00"_s, url, u"ab"_s, {}},
        {u"%E6%97%A"_s, url, u"%E6%97%A"_s,
         u"URL エンコード の形式ではないため、デコードしませんでした。\r\n"
         u"テキストが途中で終わっています（8 文字目の後）。"_s},
        {u"ab%G1"_s, url, u"ab%G1"_s,
         u"URL エンコード の形式ではないため、デコードしませんでした。\r\n"
         u"4 文字目の G (U+0047) が読めません。"_s},
        // Shift_JIS as mail and old CGI forms have it, and UTF-8 as mail has it now.
        {u"k/qWew=="_s, base64, u"日本"_s, {}},
        {u"5pel\r\n5pys"_s, base64, u"日本"_s, {}},
        {u"k7qW*w=="_s, base64, u"k7qW*w=="_s,
         u"Base64 の形式ではないため、デコードしませんでした。\r\n"
         u"5 文字目の * (U+002A) が読めません。"_s},
        {u"gA=="_s, base64, u"gA=="_s, unreadable},
        {u"61 00\r\n62 00 \r\n"_s, hex, u"ab"_s, {}},
        {u"E6 97 A5\r\nE6 9C AC"_s, hex, u"日本"_s, {}},
        {u"6100 6"_s, hex, u"6100 6"_s,
         u"16 進数 の形式ではないため、デコードしませんでした。\r\n"
         u"テキストが途中で終わっています（6 文字目の後）。"_s},
        {u"   "_s, hex, u"   "_s, {}},
    };
    for (const Case& c : cases) {
        boxes.boxes.clear();
        EXPECT_EQ(run(c.text, [&] { (commands.*c.command)(Coding::Decode); }), c.result)
            << c.text.toStdString();
        EXPECT_EQ(boxes.boxes.isEmpty() ? QString() : boxes.boxes[0].text, c.box)
            << c.text.toStdString();
    }
}

// What one encoder writes, the matching decoder reads back in the same setting, for
// texts whose UTF-16LE bytes are all ASCII too (本 is ",g").
TEST_F(ConversionCommandsTest, EachEncoderRoundTripsInEveryByteForm)
{
    const QString texts[] = {u"abc"_s, u"本"_s, u"10時〜12時\r\n𠮷"_s, u"\uFEFFx"_s};
    using Command = void (convert::ConversionCommands::*)(Coding);
    for (const auto form :
         {convert::ByteForm::ShiftJis, convert::ByteForm::Utf16Le, convert::ByteForm::Utf8}) {
        menu.form = form;
        for (const Command command :
             {&convert::ConversionCommands::base64Command, &convert::ConversionCommands::urlCommand,
              &convert::ConversionCommands::hexCommand}) {
            for (const QString& text : texts) {
                if (form == convert::ByteForm::ShiftJis &&
                    (text.contains(u"𠮷"_s) || text.startsWith(QChar(0xFEFF))))
                    continue;
                windowWith(text);
                (commands.*command)(Coding::Encode);
                (commands.*command)(Coding::Decode);
                const QString expected = form == convert::ByteForm::ShiftJis
                                             ? QString(text).replace(u'〜', u'～')
                                             : text;
                EXPECT_EQ(window.value, expected) << text.toStdString() << " " << int(form);
            }
        }
    }
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

// The same text through JIS and back as the reference tool converts it, the wave dash,
// the minus sign and the double vertical line of an input method included.
TEST_F(ConversionCommandsTest, JisThereAndBackMatchesTheReferenceTool)
{
    const QString text = u"10時〜12時−3‖"_s;
    const auto nkf = [&](const char* option) {
        QProcess process;
        process.start(u"nkf"_s, {QString::fromLatin1(option)});
        process.write(text.toUtf8());
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(10000));
        return process.readAllStandardOutput();
    };
    menu.in = 2;
    menu.out = 3;
    const QString jis = run(text, [&] { commands.convertJis(JisDirection::ToJis); });
    EXPECT_EQ(jis.toLatin1(), nkf("-j"));
    commands.convertJis(JisDirection::ToShiftJis);
    EXPECT_EQ(convert::textToBytes(window.value, convert::ByteForm::ShiftJis).bytes, nkf("-s"));
    EXPECT_TRUE(boxes.boxes.isEmpty());

    // The mail form takes them too.
    EXPECT_EQ(run(text, [&] { commands.toIso2022jp(); }).toLatin1(), nkf("-j"));
    EXPECT_TRUE(boxes.boxes.isEmpty());
}

TEST_F(ConversionCommandsTest, MissingEncoderComponentsAreReportedEvenWithoutAWindow)
{
    registry.remove(components::Radixer::ProgId.toString());
    registry.remove(components::Escaper::ProgId.toString());
    commands.base64Command(Coding::Encode);
    commands.urlCommand(Coding::Decode);
    commands.hexCommand(Coding::Encode);
    EXPECT_EQ(menu.disabled, (QStringList{u"base64"_s, u"urlhex"_s, u"urlhex"_s}));
    ASSERT_EQ(boxes.boxes.size(), 3);
    const QString address = convert::componentHelpAddress();
    EXPECT_TRUE(address.startsWith(u"file:///"_s));
    EXPECT_FALSE(address.contains(u"example"_s));
    EXPECT_EQ(boxes.boxes[0].text, u"Radixer.DLL が必要\r\n"_s + address);
    EXPECT_EQ(boxes.boxes[1].text, u"Escaper.DLL が必要\r\n"_s + address);
    EXPECT_EQ(boxes.boxes[0].title, u"エラー"_s);
}

} // namespace
