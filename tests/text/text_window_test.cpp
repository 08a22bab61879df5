#include "settings/keys.h"
#include "text/fake_host.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

using namespace velmar;
using namespace Qt::StringLiterals;
using text::TextArea;
using text::TextWindow;

namespace {

class TextWindowTest : public ::testing::Test {
protected:
    velmar::testing::FakeHost host;
    TextWindow* window = host.newActiveWindow();

    std::optional<QColor> lineColour(int line) const
    {
        return window->textArea()->blockColour(line);
    }
};

TEST_F(TextWindowTest, ModeIsDecidedByARoundTripThroughTheArea)
{
    struct Case {
        QString text;
        bool raw;
    };
    const Case cases[] = {
        {u""_s, false},
        {u"一行目\r\n二行目\r\n"_s, false},
        {u"a\u00A0b\u3000c"_s, false},
        {u"a\u2028b"_s, false},
        {u"a\nb"_s, true},
        {u"a\rb"_s, true},
        {u"a\r\n\rb"_s, true},
        {u"a\u2029b"_s, true},
    };
    for (const Case& c : cases) {
        window->setText(c.text);
        EXPECT_EQ(window->isRawMode(), c.raw) << c.text.toStdString();
        EXPECT_EQ(window->textArea()->isReadOnly(), c.raw);
        EXPECT_TRUE(window->textArea()->isEnabled()) << "raw mode is read-only, not disabled";
        EXPECT_EQ(window->text(), c.text);
    }
}

// A window that cannot be edited says so, and why, in its status bar: a minified JSON
// line on the clipboard must not leave the user typing into nothing.
TEST_F(TextWindowTest, ReadOnlySaysWhyInTheStatusBar)
{
    struct Case {
        QString text;
        QString note; // empty: editable, no note
    };
    const Case cases[] = {
        {u"{\"a\":1}"_s + QString(70000, u'x') + u"\r\nshort"_s,
         u"読み取り専用: 65,536 文字を超える行があるため、編集できません"
         u"（テキストはそのまま保っています）"_s},
        {u"a\nb"_s, u"読み取り専用: 編集欄では保てない改行や文字を含むため、編集できません"
                    u"（テキストはそのまま保っています）"_s},
        {u"一行目\r\n"_s + QString(65536, u'x'), {}},
    };
    for (const Case& c : cases) {
        window->setText(c.text);
        EXPECT_EQ(window->isRawMode(), !c.note.isEmpty());
        EXPECT_EQ(window->readOnlyNote->isHidden(), c.note.isEmpty());
        if (!c.note.isEmpty()) {
            EXPECT_EQ(window->readOnlyNote->text(), c.note);
        }
    }
    window->setRawBytes(QByteArray("\x01\x02\x03", 3));
    EXPECT_FALSE(window->readOnlyNote->isHidden());
    EXPECT_EQ(window->readOnlyNote->text(),
              u"読み取り専用: テキストとして読めないバイト列のため、編集できません"
              u"（バイト列はそのまま保存します）"_s);
    EXPECT_EQ(window->statusText(), host.applicationName()) << "the simple text stays";
}

TEST_F(TextWindowTest, OddBytesAreKeptExactlyInRawMode)
{
    const QByteArray bytes("a\0b\0\xFF", 5);
    window->setRawBytes(bytes);
    EXPECT_TRUE(window->isRawMode());
    EXPECT_EQ(window->text(), u"ab"_s);
    EXPECT_EQ(window->rawBytes(), bytes);

    // New text drops the old odd byte and decides the mode again.
    window->setText(u"x"_s);
    EXPECT_FALSE(window->isRawMode());
    EXPECT_EQ(window->rawBytes(), QByteArray("x\0", 2));
}

TEST_F(TextWindowTest, RawModeSelectionIsTheWholeTextAndEditsOnlyChangeTheDisplay)
{
    window->setText(u"a\nb"_s);
    ASSERT_TRUE(window->isRawMode());
    EXPECT_EQ(window->selectedText(), u"a\nb"_s);
    window->replaceSelectedText(u"X"_s);
    window->appendText(u"Y"_s);
    EXPECT_EQ(window->text(), u"a\nb"_s);
    EXPECT_TRUE(window->isRawMode());
    EXPECT_EQ(window->textArea()->crlfText(), u"Xa\r\nbY"_s);
}

TEST_F(TextWindowTest, SelectionOperationsInNormalMode)
{
    window->setText(u"abc\r\ndef"_s);
    EXPECT_EQ(window->selectedText(), QString());
    QTextCursor cursor = window->textArea()->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    window->textArea()->setTextCursor(cursor);
    EXPECT_EQ(window->selectedText(), u"bc\r\nde"_s);

    window->replaceSelectedText(u"1\r\n2"_s);
    EXPECT_EQ(window->text(), u"a1\r\n2f"_s);
    window->appendText(u"\r\nend"_s);
    EXPECT_EQ(window->text(), u"a1\r\n2f\r\nend"_s);
}

TEST_F(TextWindowTest, LinesColouredByTheirMarksWithoutChangingTheText)
{
    host.write(settings::keys::ReplyColours, u">> 255 > 32768"_s);
    host.write(settings::keys::FontColour, u"16711680"_s);
    const QString text = u">>a\r\n>b\r\n  >b\r\nx\r\n\t>b\r\n>ab"_s;
    window->setText(text);
    EXPECT_EQ(lineColour(0), std::nullopt) << "no colours before the first pass";

    window->applyReplyColours();
    const QColor red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255);
    EXPECT_EQ(lineColour(0), red);
    EXPECT_EQ(lineColour(1), green);
    EXPECT_EQ(lineColour(2), green);
    EXPECT_EQ(lineColour(3), blue);
    EXPECT_EQ(lineColour(4), blue);
    EXPECT_EQ(lineColour(5), blue) << "a short last line keeps the base colour";
    EXPECT_EQ(window->text(), text);

    // A new text is coloured by the same rules, unmarked lines in "FontColor".
    window->setText(u"x\r\n>>b\r\n"_s);
    EXPECT_EQ(lineColour(0), blue);
    EXPECT_EQ(lineColour(1), red);
}

TEST_F(TextWindowTest, ColouringLeavesTheSelectionAndNeedsAnActiveWindow)
{
    host.write(settings::keys::ReplyColours, u", 255"_s);
    window->setText(u"one\r\ntwo"_s);
    QTextCursor cursor = window->textArea()->textCursor();
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    window->textArea()->setTextCursor(cursor);
    window->applyReplyColours();
    EXPECT_EQ(lineColour(0), QColor(255, 0, 0));
    EXPECT_EQ(lineColour(1), QColor(0, 0, 0)) << "three characters on the last line";
    EXPECT_EQ(window->selectedText(), u"n"_s);

    host.active = nullptr;
    TextWindow* other = host.openTextWindow(velmar::text::WindowPlacement::Background);
    other->setText(u"one\r\ntwo"_s);
    other->applyReplyColours();
    EXPECT_EQ(other->textArea()->blockColour(0), std::nullopt);
}

TEST_F(TextWindowTest, BackgroundDependsOnTheStatusText)
{
    host.write(settings::keys::BackgroundColour, u"255"_s);
    host.write(settings::keys::MessageBackgroundColour, u"65280"_s);
    const auto background = [this] { return window->textArea()->palette().color(QPalette::Base); };
    window->applyFont();
    EXPECT_EQ(background(), QColor(255, 0, 0));
    window->setStatusText(u"From Network 山田"_s);
    window->applyFont();
    EXPECT_EQ(background(), QColor(0, 255, 0));

    host.write(settings::keys::MessageBackgroundColour, u"blue"_s);
    window->applyFont();
    EXPECT_EQ(background(), QColor(0, 255, 0)) << "a value that is no number is ignored";

    const QColor systemBase = QPalette().color(QPalette::Active, QPalette::Base);
    host.write(settings::keys::MessageBackgroundColour, u"-2147483643"_s);
    TextWindow fresh(host);
    fresh.setStatusText(u"From Network 山田"_s);
    fresh.applyFont();
    EXPECT_EQ(fresh.textArea()->palette().color(QPalette::Base), systemBase);
}

TEST_F(TextWindowTest, FontFromTheSettings)
{
    host.write(settings::keys::FontBold, u"True"_s);
    host.write(settings::keys::FontSize, u"14"_s);
    host.write(settings::keys::FontUnderline, u"maybe"_s);
    window->applyFont();
    const QFont font = window->textArea()->font();
    EXPECT_TRUE(font.bold());
    EXPECT_EQ(font.pointSizeF(), 14.0);
    EXPECT_FALSE(font.underline());
}

TEST_F(TextWindowTest, ActivationAppliesImeFontAndColours)
{
    host.write(settings::keys::ReplyColours, u"> 255"_s);
    window->setText(u">quoted\r\n"_s);
    window->activate();
    EXPECT_EQ(host.imeCalls, 1);
    EXPECT_EQ(lineColour(0), QColor(255, 0, 0));
}

struct SealCase {
    const char* name;
    bool locked;
    QString typed;
    bool opens;
};

class SealTest : public TextWindowTest, public ::testing::WithParamInterface<SealCase> {};

TEST_P(SealTest, ButtonOpensTheSealAndTheNoticeGoesOnce)
{
    const SealCase& c = GetParam();
    host.write(settings::keys::Password, u"secret"_s);
    window->replyAddress = u"10.77.0.9"_s;
    window->replyPort = 2425;
    window->packetNumber = u"1234"_s;
    window->noticeOwed = true;
    window->show();
    window->showSeal(c.locked);
    EXPECT_EQ(window->sealButton->geometry(), window->textArea()->geometry());
    EXPECT_EQ(window->passwordEdit->isVisible(), c.locked);

    window->passwordEdit->setText(c.typed);
    window->sealButton->click();
    EXPECT_EQ(window->isSealed(), !c.opens);
    window->sealButton->click();
    window->close();
    window->close();

    ASSERT_EQ(host.notices.size(), 1);
    EXPECT_EQ(host.notices[0].command, c.opens ? 0x30u : 0x31u);
    EXPECT_EQ(host.notices[0].destination, u"10.77.0.9"_s);
    EXPECT_EQ(host.notices[0].port, 2425);
    EXPECT_EQ(host.notices[0].extra, u"1234"_s);
    if (!c.opens) {
        EXPECT_TRUE(window->passwordEdit->text().isEmpty()) << "a wrong password is cleared";
    }
}

INSTANTIATE_TEST_SUITE_P(Seals, SealTest,
                         ::testing::Values(SealCase{"open", false, QString(), true},
                                           SealCase{"rightPassword", true, u"secret"_s, true},
                                           SealCase{"wrongPassword", true, u"guess"_s, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(TextWindowTest, NoNoticeWhenNoneIsOwed)
{
    window->showSeal(false);
    window->close();
    window->openSeal();
    EXPECT_TRUE(host.notices.isEmpty());
}

TEST_F(TextWindowTest, LayoutKeepsTheMinimumSizeAndTheInset)
{
    window->show();
    window->resize(66, 133);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(TextWindow::MinimumWidth, TextWindow::MinimumHeight));

    window->resize(300, 200);
    QCoreApplication::processEvents();
    const QRect area = window->textArea()->geometry();
    EXPECT_EQ(area.topLeft(), QPoint(TextWindow::AreaInset, TextWindow::AreaInset));
    EXPECT_EQ(area.width(), 300 - 2 * TextWindow::AreaInset);
    EXPECT_EQ(window->statusBar->geometry().bottom(), 199);
    EXPECT_EQ(area.bottom(), window->statusBar->geometry().top() - TextWindow::AreaInset - 1);
}

TEST_F(TextWindowTest, MenuShortcutsWinOverTheAreaOtherKeysStayThere)
{
    const auto overrideAccepted = [this](int key) {
        QKeyEvent e(QEvent::ShortcutOverride, key, Qt::ControlModifier);
        e.setAccepted(false);
        QCoreApplication::sendEvent(window->textArea(), &e);
        return e.isAccepted();
    };
    for (const int key : {Qt::Key_A, Qt::Key_C, Qt::Key_E, Qt::Key_G, Qt::Key_J, Qt::Key_K,
                          Qt::Key_M, Qt::Key_P, Qt::Key_Q, Qt::Key_R, Qt::Key_W})
        EXPECT_FALSE(overrideAccepted(key)) << key;
    window->setText(u"abc"_s);
    window->textArea()->selectAll();
    for (const int key : {Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_Y})
        EXPECT_TRUE(overrideAccepted(key)) << key;

    QAction copy(window);
    copy.setShortcut(QKeySequence(u"Ctrl+C"_s));
    copy.setShortcutContext(Qt::ApplicationShortcut);
    window->addAction(&copy);
    int triggered = 0;
    QObject::connect(&copy, &QAction::triggered, [&triggered] { ++triggered; });
    window->show();
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->textArea()->setFocus();
    QTest::keyClick(window->windowHandle(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(triggered, 1);

    // The area keeps its own editing keys: an application-wide Ctrl+V never fires.
    QAction paste(window);
    paste.setShortcut(QKeySequence(u"Ctrl+V"_s));
    paste.setShortcutContext(Qt::ApplicationShortcut);
    window->addAction(&paste);
    int pasted = 0;
    QObject::connect(&paste, &QAction::triggered, [&pasted] { ++pasted; });
    QTest::keyClick(window->windowHandle(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pasted, 0);
}

TEST_F(TextWindowTest, FileDropsOnlyWithCopyMoveAndLink)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u"/tmp/a.txt"_s), QUrl(u"https://example.invalid/x"_s),
                  QUrl::fromLocalFile(u"/tmp/b.log"_s)});
    window->setText(u"kept"_s);
    window->show();
    const auto drop = [&](QWidget* target, Qt::DropActions actions) {
        QDragEnterEvent enter(QPoint(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDropEvent e(QPointF(2, 2), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &e);
        return enter.isAccepted();
    };
    struct Case {
        const char* where;
        QWidget* target;
        Qt::DropActions actions;
        bool opens;
    };
    const Qt::DropActions all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    const Case cases[] = {
        {"margin, copy and move", window, Qt::CopyAction | Qt::MoveAction, false},
        {"margin, all three", window, all, true},
        {"text area, copy only", window->textArea()->viewport(), Qt::CopyAction, false},
        {"text area, all three", window->textArea()->viewport(), all, true},
    };
    for (const Case& c : cases) {
        host.opened.clear();
        EXPECT_EQ(drop(c.target, c.actions), c.opens) << c.where;
        const QStringList expected =
            c.opens ? QStringList{u"/tmp/a.txt"_s, u"/tmp/b.log"_s} : QStringList();
        EXPECT_EQ(host.opened, expected) << c.where;
        EXPECT_EQ(window->text(), u"kept"_s) << c.where << ": no path pasted";
    }
}

TEST_F(TextWindowTest, SealedMessageIsOutOfReachUntilOpened)
{
    const QString message = u"封書の中身\r\n二行目"_s;
    window->setText(message);
    window->show();
    window->showSeal(true);
    TextArea* area = window->textArea();
    area->setFocus();
    EXPECT_FALSE(area->hasFocus());
    QTest::keyClicks(area, u"pw"_s);
    window->replaceSelectedText(u"X"_s);
    window->appendText(u"Y"_s);
    window->setText(u"replaced"_s);
    EXPECT_EQ(window->text(), QString());
    EXPECT_EQ(window->selectedText(), QString());
    EXPECT_TRUE(window->rawBytes().isEmpty());

    window->openSeal();
    EXPECT_TRUE(area->isEnabled());
    EXPECT_EQ(window->text(), message);
}

TEST_F(TextWindowTest, ColoursFollowEdits)
{
    host.write(settings::keys::ReplyColours, u">> 255 > 32768"_s);
    host.write(settings::keys::FontColour, u"16711680"_s);
    const QColor red(255, 0, 0), green(0, 128, 0), blue(0, 0, 255);
    struct Case {
        const char* what;
        int position;
        int removed;
        QString inserted;
        int line;
        QColor expected;
    };
    // Text: ">a", "b", ">>c", "last"
    const Case cases[] = {
        {"typing before the mark", 0, 0, u"x"_s, 0, blue},
        {"typing a mark", 3, 0, u">"_s, 1, green},
        {"deepening a mark", 0, 0, u">"_s, 0, red},
        {"deleting a mark", 5, 1, QString(), 2, green},
        {"pasting lines", 3, 0, u">>p\n"_s, 1, red},
        {"pasting lines, the line after", 3, 0, u">>p\n"_s, 2, blue},
        {"last line grows to four", 13, 0, u"\n>ab"_s, 4, blue},
        {"last line grows past four", 13, 0, u"\n>abc"_s, 4, green},
    };
    for (const Case& c : cases) {
        window->setText(u">a\r\nb\r\n>>c\r\nlast"_s);
        window->applyReplyColours();
        TextArea* area = window->textArea();
        ASSERT_EQ(area->blockColour(0), green);
        QTextCursor cursor(area->document());
        cursor.setPosition(c.position);
        cursor.setPosition(c.position + c.removed, QTextCursor::KeepAnchor);
        cursor.insertText(c.inserted);
        EXPECT_EQ(area->blockColour(c.line), c.expected) << c.what;
        // The colour covers the whole line, typed characters included.
        const QTextBlock block = area->document()->findBlockByNumber(c.line);
        const auto formats = block.layout()->formats();
        if (!formats.isEmpty()) {
            EXPECT_EQ(formats.first().length, block.length() - 1) << c.what;
        }
    }
}

TEST_F(TextWindowTest, LongLinesAreCutForDisplayOnly)
{
    host.write(settings::keys::ReplyColours, u"> 32768"_s);
    struct Case {
        const char* what;
        QString text;
        bool raw;
        int blocks;
    };
    const qsizetype limit = TextArea::LongLineLimit;
    const qsizetype chunk = TextArea::LongLineChunk;
    const Case cases[] = {
        {"at the limit", u'>' + QString(limit - 1, u'a'), false, 1},
        {"one past the limit", u'>' + QString(limit, u'a'), true, int(limit / chunk + 1)},
        {"after a short line", u"x\r\n>"_s + QString(limit, u'b') + u"\r\n"_s, true,
         int(limit / chunk + 1) + 2},
    };
    for (const Case& c : cases) {
        window->setText(c.text);
        window->applyReplyColours();
        EXPECT_EQ(window->isRawMode(), c.raw) << c.what;
        EXPECT_EQ(window->text(), c.text) << c.what;
        TextArea* area = window->textArea();
        EXPECT_EQ(area->document()->blockCount(), c.blocks) << c.what;
        // Every display piece of a quoted long line takes the line's colour.
        const int last = c.text.endsWith(u"\r\n"_s) ? c.blocks - 2 : c.blocks - 1;
        EXPECT_EQ(area->blockColour(last), QColor(0, 128, 0)) << c.what;
        if (c.raw) {
            EXPECT_TRUE(area->textInteractionFlags() & Qt::TextSelectableByKeyboard) << c.what;
        }
    }
}

TEST_F(TextWindowTest, RightClickOnTheMarginPopsUpTheFileMenu)
{
    window->show();
    QTest::mouseRelease(window, Qt::RightButton, Qt::NoModifier, QPoint(2, 2));
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(host.popups.size(), 1);
    QTest::mouseRelease(window->textArea()->viewport(), Qt::RightButton, Qt::NoModifier,
                        QPoint(5, 5));
    EXPECT_EQ(host.popups.size(), 1);
}

TEST_F(TextWindowTest, NewWindowShowsTheApplicationName)
{
    EXPECT_EQ(window->caption(), u"Velmar7"_s);
    EXPECT_EQ(window->statusText(), u"Velmar7"_s);
    EXPECT_EQ(window->sealButton->text(), u"封書"_s);
    EXPECT_EQ(window->passwordEdit->echoMode(), QLineEdit::Password);
}

TEST_F(TextWindowTest, LargeTextIsWholeForEveryReader)
{
    QString large;
    while (large.size() <= TextArea::ProgressiveLimit * 2)
        large += u">line of a large text\r\n"_s;
    struct Case {
        const char* what;
        std::function<QString()> read;
        QString expected;
    };
    const Case cases[] = {
        {"text", [this] { return window->text(); }, large},
        {"selection of all",
         [this] {
             window->textArea()->selectAll();
             return window->selectedText();
         },
         large},
        {"append",
         [this] {
             window->appendText(u"end"_s);
             return window->text();
         },
         large + u"end"_s},
        {"key at the end",
         [this] {
             window->textArea()->moveCursor(QTextCursor::End);
             QTest::keyClicks(window->textArea(), u"z"_s);
             return window->text();
         },
         large + u"z"_s},
    };
    for (const Case& c : cases) {
        window = host.newActiveWindow();
        window->setText(large);
        EXPECT_TRUE(window->textArea()->isLoading()) << c.what;
        EXPECT_EQ(c.read(), c.expected) << c.what;
        EXPECT_FALSE(window->textArea()->isLoading()) << c.what;
    }
    // Left alone, the rest comes in while the event loop is idle.
    window = host.newActiveWindow();
    window->setText(large);
    while (window->textArea()->isLoading())
        QCoreApplication::processEvents();
    EXPECT_EQ(window->textArea()->crlfText(), large);
}

} // namespace
