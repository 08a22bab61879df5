// The Qt implementations behind the platform seams, on the offscreen platform.

#include "platform/clipboard.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/udp_endpoint.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHostAddress>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace velmar::platform;

namespace {

// Runs `answer` on the modal dialog of type T once it is open, so a blocking exec()
// in the code under test returns. A dialog may refuse an answer that comes too early
// (a file dialog still reading its folder): it is answered again until it closes.
template <typename T> void whenModalOpens(std::function<void(T&)> answer)
{
    struct State {
        QPointer<T> dialog;
        bool seen = false;
    };
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto state = std::make_shared<State>();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, state] {
        if (!state->seen) {
            state->dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            state->seen = !state->dialog.isNull();
            if (!state->seen)
                return;
        }
        if (state->dialog && state->dialog->isVisible()) {
            answer(*state->dialog);
        } else {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start();
}

// Picks `path` in the file dialog and presses its accept button. The name field keeps
// what the user typed while it has the focus, so the focus leaves it first.
void choose(QFileDialog& dialog, const QString& path)
{
    if (QWidget* focus = dialog.focusWidget())
        focus->clearFocus();
    dialog.selectFile(path);
    static_cast<QDialog&>(dialog).accept();
}

TEST(QtClipboard, LineBreaksConvertBothWays)
{
    QtClipboard clipboard;
    QClipboard* system = QGuiApplication::clipboard();
    const struct {
        const char16_t* program;
        const char16_t* system;
    } cases[] = {
        {u"one\r\ntwo\r\n", u"one\ntwo\n"},
        {u"日本語\r\n\r\n", u"日本語\n\n"},
        {u"no break", u"no break"},
    };
    for (const auto& c : cases) {
        const QString program = QString::fromUtf16(c.program);
        clipboard.setText(program);
        EXPECT_EQ(system->text(), QString::fromUtf16(c.system)) << program.toStdString();
        system->setText(QString::fromUtf16(c.system));
        EXPECT_TRUE(clipboard.hasText());
        EXPECT_EQ(clipboard.text(), program);
    }
    clipboard.clear();
    EXPECT_FALSE(clipboard.hasText());
}

TEST(QtMessageBoxes, ShowsTitleAndTextAndReturnsWhenClosed)
{
    QtMessageBoxes boxes;
    QString seenTitle;
    QString seenText;
    whenModalOpens<QMessageBox>([&](QMessageBox& box) {
        seenTitle = box.windowTitle();
        seenText = box.text();
        box.accept();
    });
    boxes.show(QStringLiteral("起動失敗"), QStringLiteral("line one\r\nline two"));
    EXPECT_EQ(seenTitle, u"起動失敗");
    EXPECT_EQ(seenText, u"line one\r\nline two");
}

TEST(QtFileDialogs, OpenAndSaveNames)
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("memo.txt"));
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QtFileDialogs dialogs;
    const QString filter = QStringLiteral("ﾃｷｽﾄ(*.txt)|*.txt|全て(*.*)|*.*");

    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.nameFilters(),
                  QStringList({QStringLiteral("ﾃｷｽﾄ (*.txt)"), QStringLiteral("全て (*)")}));
        choose(dialog, existing);
    });
    EXPECT_EQ(dialogs.openFileName(filter), existing);

    whenModalOpens<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(dialogs.openFileName(filter), QString()) << "cancel gives no name";

    whenModalOpens<QFileDialog>(
        [&](QFileDialog& dialog) { choose(dialog, dir.filePath(QStringLiteral("new"))); });
    EXPECT_EQ(dialogs.saveFileName(filter, QStringLiteral("txt")),
              QDir(dir.path()).filePath(QStringLiteral("new.txt")));

    whenModalOpens<QFileDialog>([&](QFileDialog& dialog) { choose(dialog, existing); });
    EXPECT_EQ(dialogs.saveFileName(filter, QStringLiteral("txt")), existing)
        << "an existing file is taken without an overwrite question";
}

// Loopback only: the endpoint binds a free port and talks to a second socket
// on 127.0.0.1; nothing is broadcast.
TEST(QtUdpEndpoint, SendsAndReceivesOnLoopback)
{
    quint16 port = 0;
    {
        QUdpSocket probe; // a port nobody uses right now
        ASSERT_TRUE(probe.bind(QHostAddress::LocalHost, 0));
        port = probe.localPort();
    }
    QtUdpEndpoint endpoint;
    ASSERT_TRUE(endpoint.bind(port));
    ASSERT_EQ(endpoint.localPort(), port);

    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    QSignalSpy arrived(&endpoint, &UdpEndpoint::datagramArrived);
    const QByteArray payload("1:2:user:host:32:日本語");
    ASSERT_EQ(peer.writeDatagram(payload, QHostAddress::LocalHost, endpoint.localPort()),
              payload.size());
    ASSERT_TRUE(arrived.wait(2000));
    const auto datagram = arrived.at(0).at(0).value<Datagram>();
    EXPECT_EQ(datagram.data, payload);
    EXPECT_EQ(datagram.senderIp, u"127.0.0.1");
    EXPECT_EQ(datagram.senderPort, peer.localPort());

    const SendResult sent =
        endpoint.send(QStringLiteral("127.0.0.1"), peer.localPort(), QByteArray("reply"));
    EXPECT_TRUE(sent.ok) << sent.errorText.toStdString();
    ASSERT_TRUE(peer.waitForReadyRead(2000));
    QByteArray received(static_cast<int>(peer.pendingDatagramSize()), '\0');
    peer.readDatagram(received.data(), received.size());
    EXPECT_EQ(received, "reply");

    endpoint.close();
    EXPECT_FALSE(
        endpoint.send(QStringLiteral("127.0.0.1"), peer.localPort(), QByteArray("late")).ok)
        << "a closed endpoint reports the failure";
}

} // namespace
