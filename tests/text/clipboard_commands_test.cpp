#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/fake_host.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QTextCursor>
#include <gtest/gtest.h>

using namespace velmar;
using namespace Qt::StringLiterals;
using text::Form1;

namespace {

class ClipboardCommandsTest : public ::testing::Test {
protected:
    velmar::testing::FakeHost host;
    text::ClipboardCommands commands{host};

    static void select(Form1* window, int from, int to)
    {
        QTextCursor cursor = window->v_windows()->textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        window->v_windows()->setTextCursor(cursor);
    }
};

TEST_F(ClipboardCommandsTest, ViewsWithoutTextOpensAWindowSayingSo)
{
    host.clip.setImage();
    commands.views();
    ASSERT_EQ(host.windows().size(), 1);
    EXPECT_EQ(host.active->GetTextData(), u"ClipBord is not TEXT"_s);
}

TEST_F(ClipboardCommandsTest, ViewsReplacesTextAndCaptionButKeepsTheFileName)
{
    Form1* window = host.newActiveWindow();
    window->f_name = u"/tmp/notes.txt"_s;
    window->setCaption(u"/tmp/notes.txt"_s);
    window->SetTextData(u"old"_s);
    host.clip.setText(u"new\r\ntext"_s);
    commands.views();
    EXPECT_EQ(window->GetTextData(), u"new\r\ntext"_s);
    EXPECT_EQ(window->caption(), u"Velmar7"_s);
    EXPECT_EQ(window->f_name, u"/tmp/notes.txt"_s);
}

TEST_F(ClipboardCommandsTest, ViewsOnAReceivedMessageGivesItTheOrdinaryBackground)
{
    host.write(settings::keys::BgColor, u"255"_s);
    host.write(settings::keys::IpmBgColor, u"65280"_s);
    Form1* window = host.newActiveWindow();
    window->setStatusText(u"From Network 山田"_s);
    window->Tag = u"10.77.0.9"_s;
    host.activate(window);
    EXPECT_EQ(window->v_windows()->palette().color(QPalette::Base), QColor(0, 255, 0));

    host.clip.setText(u"x"_s);
    commands.views();
    EXPECT_EQ(window->statusText(), u"Velmar7"_s);
    EXPECT_EQ(window->Tag, u"10.77.0.9"_s);
    host.activate(window);
    EXPECT_EQ(window->v_windows()->palette().color(QPalette::Base), QColor(255, 0, 0));
}

TEST_F(ClipboardCommandsTest, NewClipAlwaysOpensAnotherWindow)
{
    host.newActiveWindow()->SetTextData(u"keep"_s);
    host.clip.setText(u"clip"_s);
    commands.new_clip();
    ASSERT_EQ(host.windows().size(), 2);
    EXPECT_EQ(host.windows()[0]->GetTextData(), u"keep"_s);
    EXPECT_EQ(host.active->GetTextData(), u"clip"_s);
}

TEST_F(ClipboardCommandsTest, CopyCommandsLeaveTheClipboardAloneWhenThereIsNothing)
{
    host.clip.setText(u"before"_s);
    host.clip.writes = 0;
    commands.all_copy();
    commands.sel_copy();
    Form1* window = host.newActiveWindow();
    commands.all_copy();
    window->SetTextData(u"abcdef"_s);
    commands.sel_copy();
    EXPECT_EQ(host.clip.writes, 0);
    EXPECT_EQ(host.clip.text(), u"before"_s);

    select(window, 1, 3);
    commands.sel_copy();
    EXPECT_EQ(host.clip.text(), u"bc"_s);
    commands.all_copy();
    EXPECT_EQ(host.clip.text(), u"abcdef"_s);
}

TEST_F(ClipboardCommandsTest, SelCopyInRawModeCopiesTheWholeText)
{
    Form1* window = host.newActiveWindow();
    window->SetTextData(u"a\nb"_s);
    commands.sel_copy();
    EXPECT_EQ(host.clip.text(), u"a\nb"_s);
}

TEST_F(ClipboardCommandsTest, CopyAndTaskHidesEvenWithoutAWindow)
{
    commands.copy_and_task();
    EXPECT_EQ(host.trayCalls, QList<bool>{false});
    EXPECT_FALSE(host.clip.hasText());
    host.newActiveWindow()->SetTextData(u"t"_s);
    commands.copy_and_task();
    EXPECT_EQ(host.clip.text(), u"t"_s);
    EXPECT_EQ(host.trayCalls.size(), 2);
}

TEST_F(ClipboardCommandsTest, PastesReplacesTheSelection)
{
    Form1* window = host.newActiveWindow();
    window->SetTextData(u"abcdef"_s);
    select(window, 1, 4);
    host.clip.setImage();
    commands.pastes();
    EXPECT_EQ(window->GetTextData(), u"abcdef"_s);
    host.clip.setText(u"X\r\nY"_s);
    commands.pastes();
    EXPECT_EQ(window->GetTextData(), u"aX\r\nYef"_s);
}

TEST_F(ClipboardCommandsTest, EmptysClearsAndReports)
{
    host.clip.setText(u"x"_s);
    commands.emptys();
    EXPECT_FALSE(host.clip.hasText());
    ASSERT_EQ(host.boxes.boxes.size(), 1);
    EXPECT_EQ(host.boxes.boxes[0].title, u"報告"_s);
    EXPECT_EQ(host.boxes.boxes[0].text, u"クリップボードを空にしました"_s);
}

TEST_F(ClipboardCommandsTest, SpaceCutTrimsEveryLine)
{
    Form1* window = host.newActiveWindow();
    window->SetTextData(u"  a \r\n\tb\u3000"_s);
    commands.space_cut();
    EXPECT_EQ(window->GetTextData(), u"a\r\nb"_s);
}

TEST_F(ClipboardCommandsTest, RessetMarksTheSelectionAndReplacesTheWholeText)
{
    host.write(settings::keys::ResColor, u"> 255"_s);
    Form1* window = host.newActiveWindow();
    window->SetTextData(u"one\r\ntwo\r\nthree"_s);
    select(window, 4, 13);
    commands.resset(0);
    EXPECT_EQ(window->GetTextData(), u">two\r\n>three"_s);
    EXPECT_EQ(host.clip.text(), u">two\r\n>three"_s);
    EXPECT_EQ(window->v_windows()->blockColour(1), QColor(255, 0, 0));

    host.clip.setText(u"kept"_s);
    host.mark = u"| "_s;
    commands.resset(1);
    EXPECT_EQ(window->GetTextData(), u"| >two\r\n| >three"_s);
    EXPECT_EQ(host.clip.text(), u"kept"_s);
}

TEST_F(ClipboardCommandsTest, RessetOnAnEmptyWindowKeepsTheClipboard)
{
    host.newActiveWindow();
    host.clip.setText(u"kept"_s);
    commands.resset(0);
    EXPECT_EQ(host.clip.text(), u"kept"_s);
}

TEST_F(ClipboardCommandsTest, CommandsWithoutAWindowDoNothing)
{
    host.clip.setText(u"x"_s);
    commands.pastes();
    commands.space_cut();
    commands.resset(0);
    EXPECT_TRUE(host.windows().isEmpty());
    EXPECT_EQ(host.clip.text(), u"x"_s);
}

} // namespace
