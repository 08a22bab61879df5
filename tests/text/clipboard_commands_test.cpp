#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/fake_host.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QTest>
#include <QTextCursor>
#include <functional>
#include <gtest/gtest.h>

using namespace velmar;
using namespace Qt::StringLiterals;
using text::TextWindow;

namespace {

class ClipboardCommandsTest : public ::testing::Test {
protected:
    velmar::testing::FakeHost host;
    text::ClipboardCommands commands{host};

    static void select(TextWindow* window, int from, int to)
    {
        QTextCursor cursor = window->textArea()->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        window->textArea()->setTextCursor(cursor);
    }
};

TEST_F(ClipboardCommandsTest, ViewsWithoutTextOpensAWindowSayingSo)
{
    host.clip.setImage();
    commands.viewClipboard();
    ASSERT_EQ(host.windows().size(), 1);
    EXPECT_EQ(host.active->text(), u"ClipBord is not TEXT"_s);
}

TEST_F(ClipboardCommandsTest, ViewsReplacesTextAndCaptionButKeepsTheFileName)
{
    TextWindow* window = host.newActiveWindow();
    window->fileName = u"/tmp/notes.txt"_s;
    window->setCaption(u"/tmp/notes.txt"_s);
    window->setText(u"old"_s);
    host.clip.setText(u"new\r\ntext"_s);
    commands.viewClipboard();
    EXPECT_EQ(window->text(), u"new\r\ntext"_s);
    EXPECT_EQ(window->caption(), u"Velmar7"_s);
    EXPECT_EQ(window->fileName, u"/tmp/notes.txt"_s);
}

TEST_F(ClipboardCommandsTest, ViewsOnAReceivedMessageGivesItTheOrdinaryBackground)
{
    host.write(settings::keys::BackgroundColour, u"255"_s);
    host.write(settings::keys::MessageBackgroundColour, u"65280"_s);
    TextWindow* window = host.newActiveWindow();
    window->setStatusText(u"From Network 山田"_s);
    window->replyAddress = u"10.77.0.9"_s;
    host.activate(window);
    EXPECT_EQ(window->textArea()->palette().color(QPalette::Base), QColor(0, 255, 0));

    host.clip.setText(u"x"_s);
    commands.viewClipboard();
    EXPECT_EQ(window->statusText(), u"Velmar7"_s);
    EXPECT_EQ(window->replyAddress, u"10.77.0.9"_s);
    host.activate(window);
    EXPECT_EQ(window->textArea()->palette().color(QPalette::Base), QColor(255, 0, 0));
}

TEST_F(ClipboardCommandsTest, NewClipAlwaysOpensAnotherWindow)
{
    host.newActiveWindow()->setText(u"keep"_s);
    host.clip.setText(u"clip"_s);
    commands.newClipboardWindow();
    ASSERT_EQ(host.windows().size(), 2);
    EXPECT_EQ(host.windows()[0]->text(), u"keep"_s);
    EXPECT_EQ(host.active->text(), u"clip"_s);
}

TEST_F(ClipboardCommandsTest, CopyCommandsLeaveTheClipboardAloneWhenThereIsNothing)
{
    host.clip.setText(u"before"_s);
    host.clip.writes = 0;
    commands.copyAll();
    commands.copySelection();
    TextWindow* window = host.newActiveWindow();
    commands.copyAll();
    window->setText(u"abcdef"_s);
    commands.copySelection();
    EXPECT_EQ(host.clip.writes, 0);
    EXPECT_EQ(host.clip.text(), u"before"_s);

    select(window, 1, 3);
    commands.copySelection();
    EXPECT_EQ(host.clip.text(), u"bc"_s);
    commands.copyAll();
    EXPECT_EQ(host.clip.text(), u"abcdef"_s);
}

TEST_F(ClipboardCommandsTest, SelCopyInRawModeCopiesTheWholeText)
{
    TextWindow* window = host.newActiveWindow();
    window->setText(u"a\nb"_s);
    commands.copySelection();
    EXPECT_EQ(host.clip.text(), u"a\nb"_s);
}

TEST_F(ClipboardCommandsTest, CopyAndTaskHidesEvenWithoutAWindow)
{
    commands.copyAllAndHide();
    EXPECT_EQ(host.trayCalls, QList<bool>{false});
    EXPECT_FALSE(host.clip.hasText());
    host.newActiveWindow()->setText(u"t"_s);
    commands.copyAllAndHide();
    EXPECT_EQ(host.clip.text(), u"t"_s);
    EXPECT_EQ(host.trayCalls.size(), 2);
}

TEST_F(ClipboardCommandsTest, PastesReplacesTheSelection)
{
    TextWindow* window = host.newActiveWindow();
    window->setText(u"abcdef"_s);
    select(window, 1, 4);
    host.clip.setImage();
    commands.paste();
    EXPECT_EQ(window->text(), u"abcdef"_s);
    host.clip.setText(u"X\r\nY"_s);
    commands.paste();
    EXPECT_EQ(window->text(), u"aX\r\nYef"_s);
}

TEST_F(ClipboardCommandsTest, EmptysClearsAndReports)
{
    host.clip.setText(u"x"_s);
    commands.clearText();
    EXPECT_FALSE(host.clip.hasText());
    ASSERT_EQ(host.boxes.boxes.size(), 1);
    EXPECT_EQ(host.boxes.boxes[0].title, u"報告"_s);
    EXPECT_EQ(host.boxes.boxes[0].text, u"クリップボードを空にしました"_s);
}

TEST_F(ClipboardCommandsTest, SpaceCutTrimsEveryLine)
{
    TextWindow* window = host.newActiveWindow();
    window->setText(u"  a \r\n\tb\u3000"_s);
    commands.trimBlanks();
    EXPECT_EQ(window->text(), u"a\r\nb"_s);
}

TEST_F(ClipboardCommandsTest, RessetMarksTheSelectionAndReplacesTheWholeText)
{
    host.write(settings::keys::ReplyColours, u"> 255"_s);
    TextWindow* window = host.newActiveWindow();
    window->setText(u"one\r\ntwo\r\nthree"_s);
    select(window, 4, 13);
    commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
    EXPECT_EQ(window->text(), u">two\r\n>three"_s);
    EXPECT_EQ(host.clip.text(), u">two\r\n>three"_s);
    EXPECT_EQ(window->textArea()->blockColour(1), QColor(255, 0, 0));

    host.clip.setText(u"kept"_s);
    host.mark = u"| "_s;
    commands.copyWithReplyMarks(text::ReplyCopy::MarkOnly);
    EXPECT_EQ(window->text(), u"| >two\r\n| >three"_s);
    EXPECT_EQ(host.clip.text(), u"kept"_s);
}

TEST_F(ClipboardCommandsTest, RessetOnAnEmptyWindowKeepsTheClipboard)
{
    host.newActiveWindow();
    host.clip.setText(u"kept"_s);
    commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
    EXPECT_EQ(host.clip.text(), u"kept"_s);
}

TEST_F(ClipboardCommandsTest, EachReplacementIsOneUndoStep)
{
    struct Case {
        const char* what;
        std::function<void(TextWindow*)> run;
    };
    const Case cases[] = {
        {"reply marks on a selection",
         [this](TextWindow* w) {
             select(w, 4, 13);
             commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
         }},
        {"trimming", [this](TextWindow*) { commands.trimBlanks(); }},
        {"clipboard view", [this](TextWindow*) { commands.viewClipboard(); }},
        {"paste over a selection",
         [this](TextWindow* w) {
             select(w, 0, 9);
             commands.paste();
         }},
    };
    const QString original = u" one\r\ntwo\r\nthree "_s;
    for (const Case& c : cases) {
        TextWindow* window = host.newActiveWindow();
        window->setText(original);
        host.clip.setText(u"from\r\nthe clipboard"_s);
        c.run(window);
        ASSERT_NE(window->text(), original) << c.what;
        QTest::keyClick(window->textArea(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(window->text(), original) << c.what;
    }
}

TEST_F(ClipboardCommandsTest, SealedWindowGivesNothingAway)
{
    const QString message = u"sealed message"_s;
    struct Case {
        const char* what;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"copy all", [this] { commands.copyAll(); }},
        {"copy selection", [this] { commands.copySelection(); }},
        {"copy and hide", [this] { commands.copyAllAndHide(); }},
        {"reply marks", [this] { commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard); }},
        {"trimming", [this] { commands.trimBlanks(); }},
        {"paste", [this] { commands.paste(); }},
    };
    for (const Case& c : cases) {
        TextWindow* window = host.newActiveWindow();
        window->setText(message);
        window->textArea()->selectAll();
        window->showSeal(false);
        host.clip.setText(u"before"_s);
        c.run();
        EXPECT_FALSE(host.clip.text().contains(u"sealed"_s)) << c.what;
        window->openSeal();
        EXPECT_EQ(window->text(), message) << c.what << ": the message is kept";
    }
}

TEST_F(ClipboardCommandsTest, CommandsWithoutAWindowDoNothing)
{
    host.clip.setText(u"x"_s);
    commands.paste();
    commands.trimBlanks();
    commands.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
    EXPECT_TRUE(host.windows().isEmpty());
    EXPECT_EQ(host.clip.text(), u"x"_s);
}

} // namespace
