// GnuPG waiting for a passphrase does not stop the program: datagrams are read and
// receipts go out while the passphrase entry stays open, and the result arrives in
// the window the command started on.

#include "components/pgp/gpg_cipher_gate.h"
#include "e2e/program_fixture.h"
#include "pgp/gnupg_home.h"

#include <QAction>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace std::chrono_literals;
using velmar::e2e::NetnsPairTest;
using velmar::e2e::Program;
using velmar::e2e::ScriptedPeer;
using velmar::e2e::sjis;
using velmar::e2e::waitUntil;

namespace {

using PgpBesideMessaging = NetnsPairTest;

TEST_F(PgpBesideMessaging, ReceiptsGoOutWhileThePassphraseEntryIsOpen)
{
    velmar::testing::GnupgHome home;
    const QByteArray passphrase = "kagi";
    ASSERT_FALSE(home.generateKey(QStringLiteral("山田 花子"), QStringLiteral("hanako@example.jp"),
                                  passphrase)
                     .isEmpty());

    // The passphrase entry stands open for ten seconds before it answers.
    std::atomic<bool> stop = false;
    std::atomic<bool> asked = false;
    std::atomic<bool> answered = false;
    velmar::pgp::CipherGateConfig config;
    config.homeDirectory = home.path();
    config.loopbackPassphrase = [&]() -> std::optional<QByteArray> {
        asked = true;
        for (int i = 0; i < 100 && !stop; ++i)
            std::this_thread::sleep_for(100ms);
        answered = true;
        return passphrase;
    };

    ScriptedPeer peer;
    ASSERT_TRUE(peer.bind(pair().nameB()));
    Program a;
    velmar::pgp::addCipherGate(a.registry, config);
    ASSERT_TRUE(a.start(pair().nameA(), QStringLiteral("花子")));
    velmar::text::TextWindow* window = a.window->activeWindow();
    ASSERT_NE(window, nullptr);
    window->setText(QStringLiteral("署名する文"));

    a.window->commands().action(u"m_pgpSignExec")->trigger();
    ASSERT_TRUE(waitUntil([&] { return asked.load(); }, 20s));

    // Twenty messages while the entry is open: each receipt within a second.
    QElapsedTimer held;
    held.start();
    for (int i = 0; i < 20; ++i) {
        const QString number =
            peer.send(pair().ipA(), 288, sjis(QStringLiteral("メッセージ %1").arg(i)));
        QElapsedTimer sent;
        sent.start();
        ASSERT_TRUE(waitUntil([&] { return peer.extrasOf("33").contains(number); }, 1s))
            << "message " << i;
        EXPECT_LT(sent.elapsed(), 1000);
        velmar::e2e::processEventsFor(std::chrono::milliseconds(300));
    }
    // All of it while the entry was open and the command still ran.
    EXPECT_FALSE(answered.load());
    EXPECT_TRUE(a.window->pgpCommands().busy());
    EXPECT_LT(held.elapsed(), 10000);
    EXPECT_EQ(window->text(), QStringLiteral("署名する文"));

    // Then the signed text lands in the window the command started on.
    ASSERT_TRUE(waitUntil([&] { return !a.window->pgpCommands().busy(); }, 20s));
    stop = true;
    EXPECT_TRUE(window->text().startsWith(u"-----BEGIN PGP SIGNED MESSAGE-----"));
}

} // namespace
