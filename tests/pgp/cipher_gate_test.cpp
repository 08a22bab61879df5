#include "components/pgp/gpg_cipher_gate.h"
#include "components/registry.h"
#include "gnupg_home.h"
#include "pgp_fakes.h"
#include "support/temp_settings.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

using namespace velmar;
using components::CipherStatus;
using components::SignatureStatus;

namespace {

const QByteArray Passphrase = "correct horse";

// Plays the user in the key dialogs.
class ScriptedChooser final : public pgp::KeyChooser {
public:
    std::optional<pgp::RecipientChoice> recipients;
    std::optional<QString> signer;
    pgp::RecipientRequest lastRequest;

    std::optional<pgp::RecipientChoice>
    chooseRecipients(const pgp::RecipientRequest& request) override
    {
        lastRequest = request;
        return recipients;
    }
    std::optional<QString> chooseSigner(const QList<pgp::KeyInfo>&, const QString&) override
    {
        return signer;
    }
};

class CipherGateTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_home = new velmar::testing::GnupgHome;
        s_stranger = new velmar::testing::GnupgHome;
        s_alice = s_home->generateKey(QStringLiteral("山田 花子"),
                                      QStringLiteral("hanako@example.jp"), Passphrase);
        s_bob = s_home->generateKey(QStringLiteral("Bob Sender"), QStringLiteral("bob@example.jp"),
                                    Passphrase);
        s_strangerKey = s_stranger->generateKey(QStringLiteral("Stranger"),
                                                QStringLiteral("stranger@example.jp"), Passphrase);
    }
    static void TearDownTestSuite()
    {
        delete s_home;
        delete s_stranger;
    }

    void SetUp() override
    {
        ASSERT_FALSE(s_alice.isEmpty());
        ASSERT_FALSE(s_bob.isEmpty());
        ASSERT_FALSE(s_strangerKey.isEmpty());
        m_chooser.recipients = pgp::RecipientChoice{{s_alice}, s_alice};
        m_chooser.signer = s_alice;
        m_config.chooser = &m_chooser;
        m_config.store = m_settings.store.get();
        m_config.homeDirectory = s_home->path();
        m_config.loopbackPassphrase = [this] { return m_passphrase; };
        pgp::addCipherGate(m_registry, m_config);
        ASSERT_TRUE(
            components::CreateComponent(m_registry, m_gate, components::CipherGate::ProgId));
    }

    QString encrypt(QString text, bool sign)
    {
        QString flag = sign ? QStringLiteral("0") : QStringLiteral("1");
        return m_gate->EncryptUI(text, flag);
    }
    QString decrypt(QString text) { return m_gate->DecryptUI(text); }
    QString sign(QString text) { return m_gate->SignUI(text); }

    static inline velmar::testing::GnupgHome* s_home = nullptr;
    static inline velmar::testing::GnupgHome* s_stranger = nullptr;
    static inline QString s_alice;
    static inline QString s_bob;
    static inline QString s_strangerKey;

    velmar::testing::TempSettings m_settings;
    ScriptedChooser m_chooser;
    std::optional<QByteArray> m_passphrase = Passphrase;
    pgp::CipherGateConfig m_config;
    components::ComponentRegistry m_registry;
    std::unique_ptr<components::CipherGate> m_gate;
};

// Every LF of a text is part of a CR LF.
bool onlyCrlf(const QString& text)
{
    return text.count(u'\n') == text.count(QStringLiteral("\r\n"));
}

TEST_F(CipherGateTest, EncryptThenDecryptGivesTheTextBack)
{
    const struct {
        QString text;
        bool sign;
    } cases[] = {
        {QStringLiteral("Hello, world.\r\nSecond line\r\n"), false},
        {QStringLiteral("日本語のテキスト\r\n二行目です。"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString cipher = encrypt(c.text, c.sign);
        ASSERT_EQ(m_gate->IsError(), CipherStatus::Ok);
        EXPECT_TRUE(cipher.startsWith(QStringLiteral("-----BEGIN PGP MESSAGE-----\r\n")));
        EXPECT_TRUE(onlyCrlf(cipher));

        EXPECT_EQ(decrypt(cipher), c.text);
        EXPECT_EQ(m_gate->IsError(), CipherStatus::Ok);
        EXPECT_EQ(m_gate->IsSign(), c.sign ? SignatureStatus::Good : SignatureStatus::None);
        const QString verdict = m_gate->GetVerifyResultString();
        if (c.sign) {
            EXPECT_TRUE(verdict.contains(QStringLiteral("山田 花子 <hanako@example.jp>")))
                << verdict.toStdString();
            EXPECT_TRUE(verdict.contains(s_alice.left(4) + u' ' + s_alice.mid(4, 4)));
            EXPECT_TRUE(verdict.contains(QStringLiteral("正しい署名です")));
        } else {
            EXPECT_TRUE(verdict.isEmpty());
        }
    }
}

TEST_F(CipherGateTest, SignaturesAreJudged)
{
    const QString text = QStringLiteral("振込先は 1234 です。\r\nよろしく\r\n");
    const QString own = sign(text);
    ASSERT_EQ(m_gate->IsError(), CipherStatus::Ok);
    ASSERT_TRUE(own.startsWith(QStringLiteral("-----BEGIN PGP SIGNED MESSAGE-----\r\n")));
    const velmar::testing::GpgRun strangerRun =
        s_stranger->gpg({QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                         QStringLiteral("--passphrase"), QString::fromLatin1(Passphrase),
                         QStringLiteral("--clearsign")},
                        QStringLiteral("振込先は 1234 です。\nよろしく\n").toUtf8());
    ASSERT_EQ(strangerRun.exitCode, 0) << strangerRun.err.toStdString();
    QString tampered = own;
    tampered.replace(QStringLiteral("1234"), QStringLiteral("9999"));
    // Signed as Shift_JIS bytes by an older program, read back into a window as text.
    QStringEncoder toShiftJis("windows-31j");
    QStringDecoder fromShiftJis("windows-31j");
    const velmar::testing::GpgRun shiftJisRun =
        s_home->gpg({QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                     QStringLiteral("--passphrase"), QString::fromLatin1(Passphrase),
                     QStringLiteral("--local-user"), s_alice, QStringLiteral("--clearsign")},
                    toShiftJis(QStringLiteral("振込先は 1234 です。\nよろしく\n")));
    ASSERT_EQ(shiftJisRun.exitCode, 0) << shiftJisRun.err.toStdString();
    // The same with a wave dash, which Linux input methods type as U+301C where the code
    // page holds U+FF5E.
    const velmar::testing::GpgRun waveDashRun =
        s_home->gpg({QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                     QStringLiteral("--passphrase"), QString::fromLatin1(Passphrase),
                     QStringLiteral("--local-user"), s_alice, QStringLiteral("--clearsign")},
                    toShiftJis(QStringLiteral("振込先は 10時\uFF5E12時 です。\nよろしく\n")));
    ASSERT_EQ(waveDashRun.exitCode, 0) << waveDashRun.err.toStdString();
    QString typedWaveDash = fromShiftJis(waveDashRun.out);
    typedWaveDash.replace(QChar(0xFF5E), QChar(0x301C));

    const struct {
        const char* name;
        QString signedText;
        SignatureStatus status;
        QString verdict;
        QString signer;
    } cases[] = {
        {"own key", own, SignatureStatus::Good, QStringLiteral("正しい署名です"),
         QStringLiteral("山田 花子")},
        {"key not in the ring", QString::fromUtf8(strangerRun.out), SignatureStatus::Questionable,
         QStringLiteral("公開鍵がない"), QStringLiteral("(鍵束にない鍵)")},
        {"signed as Shift_JIS", fromShiftJis(shiftJisRun.out), SignatureStatus::Good,
         QStringLiteral("正しい署名です"), QStringLiteral("山田 花子")},
        {"signed as Shift_JIS, wave dash typed as U+301C", typedWaveDash, SignatureStatus::Good,
         QStringLiteral("正しい署名です"), QStringLiteral("山田 花子")},
        {"tampered text", tampered, SignatureStatus::Questionable, QStringLiteral("不正な署名"),
         QStringLiteral("山田 花子")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString plain = decrypt(c.signedText);
        EXPECT_EQ(m_gate->IsError(), CipherStatus::Ok);
        EXPECT_EQ(m_gate->IsSign(), c.status);
        const QString verdict = m_gate->GetVerifyResultString();
        EXPECT_TRUE(verdict.contains(c.verdict)) << verdict.toStdString();
        EXPECT_TRUE(verdict.contains(c.signer)) << verdict.toStdString();
        EXPECT_TRUE(plain.startsWith(QStringLiteral("振込先は "))) << plain.toStdString();
        EXPECT_TRUE(onlyCrlf(plain));
    }
}

TEST_F(CipherGateTest, TalksWithTheGpgCommandLine)
{
    // Messages made elsewhere are UTF-8, or Shift_JIS from older programs.
    const QString message = QStringLiteral("コマンドラインから\n暗号化\n");
    QStringEncoder shiftJis("windows-31j");
    for (const QByteArray& bytes : {message.toUtf8(), QByteArray(shiftJis(message))}) {
        const velmar::testing::GpgRun encrypted = s_home->gpg(
            {QStringLiteral("--trust-model"), QStringLiteral("always"), QStringLiteral("--armor"),
             QStringLiteral("--encrypt"), QStringLiteral("-r"), s_alice},
            bytes);
        ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err.toStdString();
        EXPECT_EQ(decrypt(QString::fromLatin1(encrypted.out)),
                  QStringLiteral("コマンドラインから\r\n暗号化\r\n"));
        EXPECT_EQ(m_gate->IsError(), CipherStatus::Ok);
    }

    const QString cipher = encrypt(QStringLiteral("プログラムから\r\n署名付き\r\n"), true);
    ASSERT_EQ(m_gate->IsError(), CipherStatus::Ok);
    const velmar::testing::GpgRun decrypted = s_home->gpg(
        {QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
         QStringLiteral("--passphrase"), QString::fromLatin1(Passphrase),
         QStringLiteral("--status-fd"), QStringLiteral("2"), QStringLiteral("--decrypt")},
        cipher.toLatin1());
    ASSERT_EQ(decrypted.exitCode, 0) << decrypted.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(decrypted.out), QStringLiteral("プログラムから\n署名付き\n"));
    EXPECT_TRUE(decrypted.err.contains("[GNUPG:] GOODSIG")) << decrypted.err.toStdString();
    EXPECT_TRUE(
        decrypted.err.contains(QByteArray(QByteArray("[GNUPG:] VALIDSIG ") + s_alice.toLatin1())));
}

TEST_F(CipherGateTest, CancelAndFailureLeaveTheTextAlone)
{
    const QString cipher = encrypt(QStringLiteral("secret"), false);
    ASSERT_EQ(m_gate->IsError(), CipherStatus::Ok);

    enum class Step { Encrypt, Sign, Decrypt };
    const struct {
        const char* name;
        Step step;
        QString input;
        bool cancelDialog;
        std::optional<QByteArray> passphrase;
        CipherStatus status;
    } cases[] = {
        {"recipient dialog cancelled", Step::Encrypt, QStringLiteral("text"), true, Passphrase,
         CipherStatus::Cancelled},
        {"signer dialog cancelled", Step::Sign, QStringLiteral("text"), true, Passphrase,
         CipherStatus::Cancelled},
        {"passphrase entry cancelled", Step::Decrypt, cipher, false, std::nullopt,
         CipherStatus::Cancelled},
        {"wrong passphrase", Step::Decrypt, cipher, false, QByteArray("wrong"),
         CipherStatus::Failed},
        {"no PGP message", Step::Decrypt, QStringLiteral("ただの文章"), false, Passphrase,
         CipherStatus::Failed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s_home->forgetPassphrases();
        m_passphrase = c.passphrase;
        if (c.cancelDialog) {
            m_chooser.recipients.reset();
            m_chooser.signer.reset();
        }
        QString result;
        switch (c.step) {
        case Step::Encrypt:
            result = encrypt(c.input, true);
            break;
        case Step::Sign:
            result = sign(c.input);
            break;
        case Step::Decrypt:
            result = decrypt(c.input);
            break;
        }
        EXPECT_EQ(m_gate->IsError(), c.status);
        EXPECT_EQ(result, c.input);
        EXPECT_EQ(m_gate->IsSign(), SignatureStatus::None);
    }
}

TEST_F(CipherGateTest, RemembersTheLastRecipientsAndSigner)
{
    m_chooser.recipients = pgp::RecipientChoice{{s_alice, s_bob}, s_bob};
    encrypt(QStringLiteral("to both"), true);
    ASSERT_EQ(m_gate->IsError(), CipherStatus::Ok);
    // Only keys of the ring are offered, with their validity; none of the stranger's.
    EXPECT_EQ(m_chooser.lastRequest.recipients.size(), 2);
    EXPECT_EQ(m_chooser.lastRequest.recipients.first().validity, pgp::KeyValidity::Ultimate);

    encrypt(QStringLiteral("again"), true);
    EXPECT_EQ(m_chooser.lastRequest.preselected, QStringList({s_alice, s_bob}));
    EXPECT_EQ(m_chooser.lastRequest.preselectedSigner, s_bob);
    EXPECT_EQ(m_chooser.lastRequest.signers.size(), 2);
}

TEST_F(CipherGateTest, CommandsRoundTripJapaneseThroughIso2022jp)
{
    velmar::testing::FakePgpHost host;
    pgp::addCipherGate(host.available, m_config);
    host.options.sign = true;
    host.options.iso2022jp = true;
    const QString original = QStringLiteral("山田です。\r\nよろしく。\r\n");
    host.window = original;
    convert::PgpCommands commands(host);

    commands.encrypt();
    ASSERT_TRUE(host.window->startsWith(QStringLiteral("-----BEGIN PGP MESSAGE-----")));
    // What was encrypted is the 7-bit form.
    const QString plain = decrypt(*host.window);
    EXPECT_TRUE(
        std::all_of(plain.begin(), plain.end(), [](QChar c) { return c.unicode() < 0x80; }));

    commands.decrypt();
    EXPECT_TRUE(host.window->endsWith(QStringLiteral("*** PGP Verify Result\r\n") + original))
        << host.window->toStdString();
    EXPECT_TRUE(host.window->startsWith(QStringLiteral("署名者: 山田 花子")));
}

} // namespace
