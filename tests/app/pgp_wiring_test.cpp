#include "main_window_fixture.h"
#include "text/text_window.h"

#include <QAction>
#include <gtest/gtest.h>

using velmar::testing::MainWindowFixture;
using namespace velmar;

namespace {

// Wraps the text so that each step is visible; signs every decryption as good.
class EchoGate final : public components::CipherGate {
public:
    QString EncryptUI(QString& text, QString& signFlag) override
    {
        return QStringLiteral("ENC") + signFlag + u'[' + text + u']';
    }
    QString SignUI(QString& text) override { return QStringLiteral("SIGNED[") + text + u']'; }
    QString DecryptUI(QString& text) override { return QStringLiteral("PLAIN[") + text + u']'; }
    components::CipherStatus IsError() override { return components::CipherStatus::Ok; }
    components::SignatureStatus IsSign() override { return components::SignatureStatus::Good; }
    QString GetVerifyResultString() override { return QStringLiteral("good\r\n"); }
};

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
    commands.action(u"m_pgpDecrypt")->trigger();
    EXPECT_EQ(w.activeWindow()->text(),
              QStringLiteral(">good\r\n>*** PGP Verify Result\r\n>PLAIN[ENC0[abc]]"));
    EXPECT_EQ(f.boxes.boxes.size(), 2); // the IME warning before each step

    // The component gone while the program runs: the PGP menu items go grey.
    f.registry.remove(components::CipherGate::ProgId.toString());
    commands.action(u"m_pgpDecrypt")->trigger();
    EXPECT_FALSE(commands.action(u"m_pgp65x")->isEnabled());
    EXPECT_FALSE(commands.action(u"m_pgpDecrypt")->isEnabled());
}

} // namespace
