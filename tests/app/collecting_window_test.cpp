// The window that collects the messages of a sender past the flood limit.

#include "main_window_fixture.h"
#include "text/text_window.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <gtest/gtest.h>

using velmar::testing::MainWindowFixture;

namespace {

velmar::ipmsg::IncomingMessage message(const char* ip, const QString& text, bool sealed = false,
                                       const char* packet = "")
{
    velmar::ipmsg::IncomingMessage m;
    m.text = text;
    m.caption = QStringLiteral("From Network a/b(IP Messenger Protcol) now");
    m.replyAddress = QString::fromUtf8(ip);
    m.replyPort = 2425;
    m.statusText = QStringLiteral("IPM(未返信)2425:") + m.replyAddress;
    m.sealed = sealed;
    m.packetNumber = QString::fromUtf8(packet);
    m.noticeOwed = sealed;
    return m;
}

// The text with each time line replaced by "<time>" or "<time 封書>".
QString withoutTimes(QString text)
{
    static const QRegularExpression line(QStringLiteral("^──── \\d\\d:\\d\\d:\\d\\d( 封書)? ────$"),
                                         QRegularExpression::MultilineOption);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(line, QStringLiteral("<time\\1>"));
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

TEST(CollectingWindow, TakesEverySenderMessageWholeUnderItsTime)
{
    MainWindowFixture f;
    auto& w = f.start();
    const auto before = w.windows().size();

    // A paragraph separator cannot be held by the text area: the window goes raw and
    // keeps the exact text.
    const QString odd = QStringLiteral("zwei\u2029drei");
    w.collectMessage(message("10.77.0.2", QStringLiteral("eins\r\nline 2")));
    w.collectMessage(message("10.77.0.2", QStringLiteral("二")));
    w.collectMessage(message("10.77.0.3", QStringLiteral("other")));
    w.collectMessage(message("10.77.0.2", odd));
    w.collectMessage(message("10.77.0.2", QStringLiteral("vier")));
    ASSERT_EQ(w.windows().size(), before + 2) << "one window per sender";
    auto* first = w.windows()[before];
    EXPECT_EQ(withoutTimes(first->text()),
              QStringLiteral("<time>\r\neins\r\nline 2\r\n<time>\r\n二\r\n<time>\r\n") + odd +
                  QStringLiteral("\r\n<time>\r\nvier"));
    EXPECT_TRUE(first->isRawMode());
    EXPECT_EQ(first->replyAddress, u"10.77.0.2");
    EXPECT_EQ(withoutTimes(w.windows()[before + 1]->text()), u"<time>\r\nother");

    // Closed by the user: the next message opens a new collecting window.
    first->parentWidget()->close();
    w.collectMessage(message("10.77.0.2", QStringLiteral("fünf")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(w.windows().size(), before + 2);
    EXPECT_EQ(withoutTimes(w.windows().back()->text()), u"<time>\r\nfünf");
}

TEST(CollectingWindow, SealedMessagesStayBehindASealAndOweTheirNotices)
{
    MainWindowFixture f;
    auto& w = f.start();
    w.collectMessage(message("10.77.0.2", QStringLiteral("open")));
    const auto before = w.windows().size();

    // A sealed message does not go into the open window: a sealed one starts, and
    // takes what follows, plain or sealed.
    w.collectMessage(message("10.77.0.2", QStringLiteral("secret 1"), true, "71"));
    w.collectMessage(message("10.77.0.2", QStringLiteral("plain")));
    w.collectMessage(message("10.77.0.2", QStringLiteral("secret 2"), true, "72"));
    ASSERT_EQ(w.windows().size(), before + 1);
    auto* sealed = w.windows().back();
    EXPECT_TRUE(sealed->isSealed());
    EXPECT_EQ(sealed->text(), QString());

    f.endpoint.sent.clear();
    sealed->openSeal();
    EXPECT_EQ(withoutTimes(sealed->text()),
              u"<time 封書>\r\nsecret 1\r\n<time>\r\nplain\r\n<time 封書>\r\nsecret 2");
    QStringList notices;
    for (const auto& sent : f.endpoint.sent)
        notices << QString::fromLatin1(sent.data.split(':').value(4) + ':' +
                                       sent.data.split(':').value(5));
    EXPECT_EQ(notices, (QStringList{QStringLiteral("48:71"), QStringLiteral("48:72")}));

    // Closed unopened, every collected sealed message owes a discard notice.
    w.collectMessage(message("10.77.0.2", QStringLiteral("secret 3"), true, "73"));
    w.collectMessage(message("10.77.0.2", QStringLiteral("secret 4"), true, "74"));
    f.endpoint.sent.clear();
    w.windows().back()->parentWidget()->close();
    EXPECT_EQ(f.sentWithCommand("49"), 2);
}

TEST(CollectingWindow, EverySendersWindowNamesEachSenderAndAnswersEachNotice)
{
    MainWindowFixture f;
    auto& w = f.start();
    const auto before = w.windows().size();
    const auto storm = [](const char* ip, const char* text, bool sealed = false,
                          const char* packet = "") {
        auto m = message(ip, QString::fromUtf8(text), sealed, packet);
        m.storm = true;
        m.senderName = QStringLiteral("名%1").arg(QString::fromUtf8(ip).section(u'.', 3));
        return m;
    };
    w.collectMessage(storm("10.77.0.2", "eins"));
    w.collectMessage(storm("10.77.0.3", "zwei", true, "81"));
    w.collectMessage(storm("10.77.0.4", "drei"));
    w.collectMessage(storm("10.77.0.2", "vier", true, "82"));
    ASSERT_EQ(w.windows().size(), before + 1) << "one window for every sender";
    auto* window = w.windows().back();
    EXPECT_TRUE(window->caption().startsWith(QStringLiteral("From Network 多数の送信者(")));
    EXPECT_TRUE(window->replyAddress.isEmpty()) << "no single reply target";
    EXPECT_TRUE(window->isSealed()) << "a sealed message covers the window";

    f.endpoint.sent.clear();
    window->openSeal();
    static const QRegularExpression time(QStringLiteral("\\d\\d:\\d\\d:\\d\\d"));
    QString text = window->text();
    text.replace(time, QStringLiteral("T"));
    EXPECT_EQ(text, QStringLiteral("──── T 名2 (2425:10.77.0.2) ────\r\neins\r\n"
                                   "──── T 名3 (2425:10.77.0.3) 封書 ────\r\nzwei\r\n"
                                   "──── T 名4 (2425:10.77.0.4) ────\r\ndrei\r\n"
                                   "──── T 名2 (2425:10.77.0.2) 封書 ────\r\nvier"));
    QStringList notices;
    for (const auto& sent : f.endpoint.sent)
        notices << sent.host + u' ' +
                       QString::fromLatin1(sent.data.split(':').value(4) + ':' +
                                           sent.data.split(':').value(5));
    EXPECT_EQ(notices,
              (QStringList{QStringLiteral("10.77.0.3 48:81"), QStringLiteral("10.77.0.2 48:82")}))
        << "each notice to its own sender";

    // Sealed again by the next sealed message; closed unopened, it owes a discard notice.
    w.collectMessage(storm("10.77.0.5", "fünf", true, "83"));
    EXPECT_EQ(w.windows().size(), before + 1);
    EXPECT_TRUE(window->isSealed());
    f.endpoint.sent.clear();
    window->parentWidget()->close();
    ASSERT_EQ(f.endpoint.sent.size(), 1);
    EXPECT_EQ(f.endpoint.sent[0].host, u"10.77.0.5");
    EXPECT_EQ(f.sentWithCommand("49"), 1);
}

} // namespace
