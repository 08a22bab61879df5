#include "app/background_check.h"
#include "app/pgp_host.h"
#include "main_window_fixture.h"
#include "text/text_area.h"
#include "text/text_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

using velmar::testing::MainWindowFixture;
using namespace velmar;

namespace {

// Wraps the text so that each step is visible; signs every decryption as good.
class EchoGate : public components::CipherGate {
public:
    QString EncryptUI(QString& text, QString& signFlag) override
    {
        seen = text;
        return QStringLiteral("ENC") + signFlag + u'[' + text + u']';
    }
    QString SignUI(QString& text) override { return QStringLiteral("SIGNED[") + text + u']'; }
    QString DecryptUI(QString& text) override { return QStringLiteral("PLAIN[") + text + u']'; }
    components::CipherStatus IsError() override { return status; }
    components::SignatureStatus IsSign() override { return components::SignatureStatus::Good; }
    QString GetVerifyResultString() override { return QStringLiteral("good\r\n"); }

    QString seen;
    components::CipherStatus status = components::CipherStatus::Ok;
};

// Holds its encryption until released or cancelled, as a passphrase entry does.
struct Latch {
    QSemaphore released;
    std::atomic<bool> cancelled = false;
    std::atomic<int> cancels = 0;
};

class HeldGate final : public EchoGate {
public:
    explicit HeldGate(Latch& latch) : m_latch(latch) {}
    QString EncryptUI(QString& text, QString& signFlag) override
    {
        // Bounded: a test that never releases still ends.
        m_latch.released.tryAcquire(1, 10000);
        if (m_latch.cancelled) {
            status = components::CipherStatus::Cancelled;
            return text;
        }
        return EchoGate::EncryptUI(text, signFlag);
    }
    void Cancel() override
    {
        ++m_latch.cancels;
        m_latch.cancelled = true;
        m_latch.released.release();
    }

private:
    Latch& m_latch;
};

// Answers when the test says so, as the search for GnuPG does a while after start.
class LateCheck final : public app::AvailabilityCheck {
public:
    void start() override { ++started; }
    void answer(bool available) { Q_EMIT answered(available); }
    int started = 0;
};

// Lets the worker finish and its result arrive; bounded.
bool waitUntilIdle(app::MainWindow& w)
{
    QElapsedTimer timer;
    timer.start();
    while (w.pgpCommands().busy() && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return !w.pgpCommands().busy();
}

QStringList boxTexts(const MainWindowFixture& f)
{
    QStringList texts;
    for (const auto& box : f.boxes.boxes)
        texts << box.text;
    return texts;
}

const QString Ime = QStringLiteral("IME ON だとパスフレーズが画面に表示されるかも\r\n"
                                   "IME のモードに気をつけて!");

TEST(MainWindowPgp, CommandsFollowTheMenuMarksAndActOnTheActiveWindow)
{
    MainWindowFixture f;
    f.registry.add(components::CipherGate::ProgId.toString(),
                   [] { return std::make_unique<EchoGate>(); });
    f.clipboard.setText(QStringLiteral("abc"));
    auto& w = f.start();
    app::Commands& commands = w.commands();
    ASSERT_TRUE(commands.action(u"m_pgpEncrypt")->isEnabled());
    commands.action(u"m_pgpSign")->setChecked(true);
    commands.action(u"m_pgpRes")->setChecked(true);

    commands.action(u"m_pgpEncrypt")->trigger();
    ASSERT_TRUE(waitUntilIdle(w));
    commands.action(u"m_pgpDecrypt")->trigger();
    ASSERT_TRUE(waitUntilIdle(w));
    EXPECT_EQ(w.activeWindow()->text(),
              QStringLiteral(">good\r\n>*** PGP Verify Result\r\n>PLAIN[ENC0[abc]]"));
    EXPECT_EQ(f.boxes.boxes.size(), 2); // the IME warning before each step

    // The component gone while the program runs: the PGP menu items go grey.
    f.registry.remove(components::CipherGate::ProgId.toString());
    commands.action(u"m_pgpDecrypt")->trigger();
    EXPECT_FALSE(commands.action(u"m_pgp65x")->isEnabled());
    EXPECT_FALSE(commands.action(u"m_pgpDecrypt")->isEnabled());
}

// The search for GnuPG answers after the window is up: the items take their state
// then, and a command clicked before waits for the answer instead of failing.
TEST(MainWindowPgp, ItemsFollowALateAnswerAndAnEarlyClickWaitsForIt)
{
    for (const bool available : {true, false}) {
        SCOPED_TRACE(available ? "GnuPG found" : "GnuPG missing");
        MainWindowFixture f;
        LateCheck check;
        f.pgpCheck = &check;
        if (available) {
            f.registry.add(components::CipherGate::ProgId.toString(),
                           [] { return std::make_unique<EchoGate>(); });
        }
        f.store().write(QStringLiteral("general"), QStringLiteral("m_pgpSign"),
                        QStringLiteral("1"));
        f.clipboard.setText(QStringLiteral("abc"));
        auto& w = f.start();
        app::Commands& commands = w.commands();
        EXPECT_EQ(check.started, 1);
        EXPECT_FALSE(w.pgpAvailable().has_value());

        commands.action(u"m_pgpEncrypt")->trigger();
        QCoreApplication::processEvents();
        EXPECT_EQ(w.activeWindow()->text(), QStringLiteral("abc"));
        EXPECT_TRUE(f.boxes.boxes.isEmpty());

        check.answer(available);
        ASSERT_TRUE(waitUntilIdle(w));
        for (const char16_t* item : {u"m_pgp65x", u"m_pgpEncrypt", u"m_pgpDecrypt", u"m_pgpSign"})
            EXPECT_EQ(commands.action(QStringView(item))->isEnabled(), available);
        for (const char16_t* key : {u"t_Encrypt", u"t_Decrypt", u"t_Sign"})
            EXPECT_EQ(commands.toolButton(QStringView(key))->isEnabled(), available);
        EXPECT_EQ(commands.action(u"m_pgpSign")->isChecked(), available);
        EXPECT_EQ(w.activeWindow()->text(),
                  available ? QStringLiteral("ENC0[abc]") : QStringLiteral("abc"));
        EXPECT_EQ(boxTexts(f), available ? QStringList{Ime} : QStringList{});
    }
}

// While GnuPG waits (here for a passphrase), the window goes on: the result lands in
// the window the command started on, a cancel leaves the text alone, and a window
// closed meanwhile gets its result in a new one.
TEST(MainWindowPgp, OperationRunsBesideTheWindowAndDeliversToItsOwnWindow)
{
    MainWindowFixture f;
    Latch latch;
    f.registry.add(components::CipherGate::ProgId.toString(),
                   [&latch] { return std::make_unique<HeldGate>(latch); });
    f.clipboard.setText(QStringLiteral("first"));
    auto& w = f.start();
    text::TextWindow* first = w.activeWindow();
    ASSERT_NE(first, nullptr);

    w.commands().action(u"m_pgpEncrypt")->trigger();
    QCoreApplication::processEvents();
    ASSERT_TRUE(w.pgpCommands().busy());
    ASSERT_NE(w.pgpHost().progress(), nullptr);
    EXPECT_TRUE(first->textArea()->isReadOnly());
    // Another window becomes active while the operation runs.
    f.clipboard.setText(QStringLiteral("second"));
    w.commands().action(u"m_new")->trigger();
    text::TextWindow* second = w.activeWindow();
    ASSERT_NE(second, first);
    latch.released.release();
    ASSERT_TRUE(waitUntilIdle(w));
    EXPECT_EQ(first->text(), QStringLiteral("ENC1[first]"));
    EXPECT_FALSE(first->textArea()->isReadOnly());
    EXPECT_EQ(second->text(), QStringLiteral("second"));
    EXPECT_EQ(w.pgpHost().progress(), nullptr);

    // The cancel button stops the operation; the text stays as it was.
    w.commands().action(u"m_pgpEncrypt")->trigger();
    QCoreApplication::processEvents();
    ASSERT_NE(w.pgpHost().progress(), nullptr);
    auto* cancel = w.pgpHost().progress()->findChild<QAbstractButton*>(QStringLiteral("pgpCancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(waitUntilIdle(w));
    EXPECT_EQ(latch.cancels, 1);
    EXPECT_EQ(second->text(), QStringLiteral("second"));

    // The window closes before the result arrives: it opens in a new window, with a word.
    latch.cancelled = false;
    w.commands().action(u"m_pgpEncrypt")->trigger();
    QCoreApplication::processEvents();
    const int before = w.windows().size();
    second->parentWidget()->close();
    QCoreApplication::processEvents();
    latch.released.release();
    ASSERT_TRUE(waitUntilIdle(w));
    EXPECT_EQ(w.windows().size(), before);
    EXPECT_EQ(w.activeWindow()->text(), QStringLiteral("ENC1[second]"));
    EXPECT_TRUE(boxTexts(f).last().contains(QStringLiteral("新しいウィンドウ")));
}

// "ISO2022JP化" goes through the program's own ISO-2022-JP conversion: characters
// without a JIS code are counted in its box, and characters Shift_JIS cannot hold are
// named before anything is encrypted, never silently replaced.
TEST(MainWindowPgp, Iso2022jpStepUsesTheProgramsConversion)
{
    struct Row {
        const char* name;
        QString text;
        QString boxStart;
        bool converted;
    };
    const QList<Row> rows{
        {"user-defined character", QStringLiteral("外字\uE000"),
         QStringLiteral("JIS コードの無い文字 1 個を 〓 に置き換えました。"), true},
        {"emoji", QStringLiteral("笑顔😀"), QStringLiteral("Shift_JIS で表せない文字"), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MainWindowFixture f;
        f.registry.add(components::CipherGate::ProgId.toString(),
                       [] { return std::make_unique<EchoGate>(); });
        f.clipboard.setText(row.text);
        auto& w = f.start();
        w.commands().action(u"m_pgpJIS")->setChecked(true);
        w.commands().action(u"m_pgpEncrypt")->trigger();
        ASSERT_TRUE(waitUntilIdle(w));
        ASSERT_GE(f.boxes.boxes.size(), 2);
        EXPECT_TRUE(f.boxes.boxes.first().text.startsWith(row.boxStart))
            << f.boxes.boxes.first().text.toStdString();
        EXPECT_EQ(f.boxes.boxes.at(1).text, Ime);
        const QString seen = w.activeWindow()->text();
        EXPECT_EQ(seen.contains(QStringLiteral("\x1b$B")), row.converted);
        EXPECT_EQ(seen.contains(row.text), !row.converted);
        EXPECT_FALSE(seen.contains(QStringLiteral("〓")));
    }
}

} // namespace
