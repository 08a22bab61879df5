#include "pgp_fakes.h"

#include <gtest/gtest.h>

using namespace velmar;
using components::CipherStatus;
using components::SignatureStatus;
using velmar::testing::FakePgpHost;

namespace {

const QString Ime = QStringLiteral("IME ON だとパスフレーズが画面に表示されるかも\r\n"
                                   "IME のモードに気をつけて!");
const QString KanjiMissing = QStringLiteral("KanjiPipe が必要");
const QString Japanese = QStringLiteral("日本語");
QString sevenBit(const QString& text)
{
    QString copy = text;
    return QString::fromLatin1(velmar::testing::FakeKanjiPipe().FromSJIS(copy, QString()));
}
const QString JapaneseJis = sevenBit(Japanese);

// What the scripted PGP component answers and what it was given.
struct GateScript {
    CipherStatus status = CipherStatus::Ok;
    SignatureStatus signature = SignatureStatus::None;
    QString verify = QString();
    QString seenText = QString();
    int calls = 0;
};

class ScriptedGate final : public components::CipherGate {
public:
    explicit ScriptedGate(GateScript& script) : m_script(script) {}
    QString EncryptUI(QString& text, QString& signFlag) override
    {
        return answer(text, QStringLiteral("ENC") + signFlag);
    }
    QString SignUI(QString& text) override { return answer(text, QStringLiteral("SIGNED")); }
    QString DecryptUI(QString& text) override { return answer(text, QStringLiteral("PLAIN")); }
    CipherStatus IsError() override { return m_script.status; }
    SignatureStatus IsSign() override { return m_script.signature; }
    QString GetVerifyResultString() override { return m_script.verify; }

private:
    QString answer(const QString& text, const QString& tag)
    {
        ++m_script.calls;
        m_script.seenText = text;
        if (m_script.status != CipherStatus::Ok)
            return text;
        return tag + u'[' + text + u']';
    }
    GateScript& m_script;
};

// One row of a command table: the situation and what the user sees afterwards.
struct Row {
    const char* name;
    std::optional<QString> window;
    convert::PgpOptions options;
    GateScript script;
    bool gateMissing = false;
    bool kanjiMissing = false;
    std::optional<QString> textAfter;
    QStringList boxes;
    QString seenText = QString(); // what the component was given, when called
    int sends = 0;
    int replies = 0;
    int disabled = 0;
};

void runTable(std::initializer_list<Row> rows, void (convert::PgpCommands::*command)())
{
    for (Row row : rows) {
        SCOPED_TRACE(row.name);
        FakePgpHost host;
        host.window = row.window;
        host.options = row.options;
        if (!row.gateMissing) {
            host.available.add(components::CipherGate::ProgId.toString(),
                               [&row] { return std::make_unique<ScriptedGate>(row.script); });
        }
        if (row.kanjiMissing)
            host.available.remove(components::KanjiPipe::ProgId.toString());
        convert::PgpCommands commands(host);
        (commands.*command)();

        EXPECT_EQ(host.window, row.textAfter);
        EXPECT_EQ(host.boxTexts(), row.boxes);
        EXPECT_EQ(row.script.seenText, row.seenText);
        EXPECT_EQ(host.sends, row.sends);
        EXPECT_EQ(host.replies, row.replies);
        EXPECT_EQ(host.disabled, row.disabled);
    }
}

const QString Text = QStringLiteral("abc");
const convert::PgpOptions None{};
const convert::PgpOptions SignSend{true, true, false, false};
const convert::PgpOptions Send{false, true, false, false};
const convert::PgpOptions Reply{false, false, true, false};
const convert::PgpOptions Jis{false, false, false, true};

GateScript script(CipherStatus status, SignatureStatus signature = SignatureStatus::None,
                  const QString& verify = QString())
{
    GateScript result;
    result.status = status;
    result.signature = signature;
    result.verify = verify;
    return result;
}

const GateScript Ok = script(CipherStatus::Ok);
const GateScript Failed = script(CipherStatus::Failed);
const GateScript Cancelled = script(CipherStatus::Cancelled);

TEST(PgpCommands, Encrypt)
{
    const QString error = QStringLiteral("暗号処理でエラーです");
    const QString encryptedPlain = QStringLiteral("ENC1[") + Japanese + u']';
    // clang-format off
    runTable({
        // name, window, options, component, component missing, kanji filter missing,
        // text after, boxes, text given to the component, sends, replies, disabled
        {"encrypts", Text, None, Ok, false, false, QStringLiteral("ENC1[abc]"), {Ime}, Text},
        {"signs and sends", Text, SignSend, Ok, false, false, QStringLiteral("ENC0[abc]"), {Ime}, Text, 1},
        {"failure: box, text kept, not sent", Text, Send, Failed, false, false, Text, {Ime, error}, Text},
        {"cancel: no box, not sent", Text, Send, Cancelled, false, false, Text, {Ime}, Text},
        {"empty window still sends", QString(), Send, Ok, false, false, QString(), {}, QString(), 1},
        {"no window still sends", std::nullopt, Send, Ok, false, false, std::nullopt, {}, QString(), 1},
        {"missing component disables, still sends", Text, Send, Ok, true, false, Text, {}, QString(), 1, 0, 1},
        {"kanji filter missing: text as it is", Japanese, Jis, Ok, false, true, encryptedPlain, {KanjiMissing, Ime}, Japanese},
    }, &convert::PgpCommands::encrypt);
    // clang-format on
}

TEST(PgpCommands, Decrypt)
{
    const QString error = QStringLiteral("復号処理でエラーです");
    const QString noBlock =
        error + QStringLiteral("\r\nPGP のブロック（-----BEGIN PGP で始まる行）が見つかりません。");
    const QString armoured =
        QStringLiteral("-----BEGIN PGP MESSAGE-----\r\nxyz\r\n-----END PGP MESSAGE-----");
    const QString verify = QStringLiteral("署名者: 花子\r\n");
    const QString verified = verify + QStringLiteral("*** PGP Verify Result\r\nPLAIN[abc]");
    const GateScript good = script(CipherStatus::Ok, SignatureStatus::Good, verify);
    const GateScript questionable = script(CipherStatus::Ok, SignatureStatus::Questionable, verify);
    // clang-format off
    runTable({
        {"unsigned", Text, None, Ok, false, false, QStringLiteral("PLAIN[abc]"), {Ime}, Text},
        {"good signature, then reply marks", Text, Reply, good, false, false, verified, {Ime}, Text, 0, 1},
        {"questionable signature", Text, None, questionable, false, false, verified, {Ime}, Text},
        {"failure: box, no reply", armoured, Reply, Failed, false, false, armoured, {Ime, error}, armoured},
        {"failure without a PGP block says so", Text, Reply, Failed, false, false, Text, {Ime, noBlock}, Text},
        {"cancel: nothing", Text, Reply, Cancelled, false, false, Text, {Ime}, Text},
        {"missing component disables", Text, None, Ok, true, false, Text, {}, QString(), 0, 0, 1},
        {"empty window", QString(), None, Ok, false, false, QString(), {}},
    }, &convert::PgpCommands::decrypt);
    // clang-format on
}

TEST(PgpCommands, Sign)
{
    const QString error = QStringLiteral("署名処理でエラーです");
    const QString signedPlain = QStringLiteral("SIGNED[") + Japanese + u']';
    // clang-format off
    runTable({
        {"clear-signs", Text, None, Ok, false, false, QStringLiteral("SIGNED[abc]"), {Ime}, Text},
        {"failure keeps the text", Text, None, Failed, false, false, Text, {Ime, error}, Text},
        {"missing component: nothing", Text, None, Ok, true, false, Text, {}},
        {"kanji filter missing: nothing signed", Japanese, Jis, Ok, false, true, Japanese, {KanjiMissing}},
        {"ISO-2022-JP around the step", Japanese, Jis, Ok, false, false, signedPlain, {Ime}, JapaneseJis},
    }, &convert::PgpCommands::sign);
    // clang-format on
}

// The result of an operation goes to the window the command started on; a window
// closed meanwhile loses nothing; a second command while one runs is refused.
TEST(PgpCommands, ResultReachesItsOwnWindow)
{
    GateScript script;
    FakePgpHost host;
    host.window = Text;
    host.available.add(components::CipherGate::ProgId.toString(),
                       [&script] { return std::make_unique<ScriptedGate>(script); });
    convert::PgpCommands commands(host);

    // The window closes while GnuPG works: the result opens in a new window.
    host.beforeDone = [&host] { host.windowOpen = false; };
    commands.encrypt();
    EXPECT_EQ(host.window, Text);
    EXPECT_EQ(host.newWindow, QStringLiteral("ENC1[abc]"));
    EXPECT_EQ(
        host.boxTexts().last(),
        QStringLiteral(
            "PGP "
            "の処理中に元のウィンドウが閉じられたため、結果を新しいウィンドウに表示しました。"));
    EXPECT_FALSE(commands.busy());

    // A command clicked while one runs is refused with a word, and runs nothing.
    host.windowOpen = true;
    host.beforeDone = [&commands, &host] {
        EXPECT_TRUE(commands.busy());
        commands.sign();
        EXPECT_EQ(host.operations, 2);
    };
    commands.decrypt();
    EXPECT_EQ(host.window, QStringLiteral("PLAIN[abc]"));
    EXPECT_EQ(host.boxTexts().last(),
              QStringLiteral("PGP の処理中です。終わるか中止してから、もう一度どうぞ。"));
    EXPECT_EQ(script.calls, 2);
}

} // namespace
