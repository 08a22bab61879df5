#pragma once

#include "ipmsg/message_log.h"
#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/packet_sender.h"
#include "ipmsg/peer_list.h"
#include "ipmsg/receive_processor.h"
#include "ipmsg/send_job.h"
#include "ipmsg/user_list_state.h"
#include "platform/message_boxes_deferred.h"

#include <QObject>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class MessageBoxes;
class UdpEndpoint;
} // namespace velmar::platform
namespace velmar::settings {
class SettingsStore;
}

namespace velmar::ipmsg {

// The messaging engine, put together: the packet sender, the user-list dialog's
// state, the send job and the receive processor, wired to one endpoint. The
// operations the main window and the dialog use most are forwarded here; the parts
// are reachable for everything else.
//
// Everything runs on the GUI thread. No datagram or timer handler shows a box itself:
// its boxes go through deferredBoxes() and are shown after it has returned, one at a
// time, while receiving goes on.
class Messenger final : public QObject {
    Q_OBJECT
public:
    using Button = SendButton;

    Messenger(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
              components::Textgauge& textgauge, platform::MessageBoxes& boxes, MessengerHost& host,
              QObject* parent = nullptr);
    ~Messenger() override;

    PacketSender& packets() { return m_sender; }
    UserListState& state() { return m_state; }
    const UserListState& state() const { return m_state; }
    SendJob& sendJob() { return m_sendJob; }
    ReceiveProcessor& receiver() { return m_receiver; }
    // The boxes a datagram or a timer causes, shown after the handler returns.
    platform::DeferredMessageBoxes& deferredBoxes() { return m_deferredBoxes; }
    // While held, arriving datagrams wait unanswered until released.
    void holdArrivals(bool hold) { m_receiver.holdArrivals(hold); }
    // Tells `log` (or nobody, with nullptr) of every message in and out.
    void setMessageLog(MessageLog* log)
    {
        m_receiver.setMessageLog(log);
        m_sendJob.setMessageLog(log);
    }

    // Reads Port (section "IPM", NumChk, 2425 on "error") and binds to it. A failed
    // bind is kept by the endpoint: direct sends then show the send-error box once,
    // broadcasts stay silent.
    bool bindEndpoint();
    // bindEndpoint at start-up: a port that cannot be bound is said in a box naming it.
    bool bindAtStart();
    // Binds to another port (the settings dialog); the IP Messenger section follows.
    bool rebind(quint16 port);
    platform::UdpEndpoint& endpoint() { return m_endpoint; }

    void sendCommand(quint32 command, const QString& destination, qint32 port,
                     const QString& extra);
    void entryBroadcast(bool absentForm) { m_sender.entryBroadcast(absentForm); }
    void exitBroadcast() { m_sender.exitBroadcast(); }
    void setAbsence(const QString& title, const QString& text);
    const QString& absenceTitle() const { return m_sender.absenceTitle(); }

    // The send command's part: puts the text into the dialog (warning when it will
    // go in pieces), sets the reply target and shows the dialog. The caller marks
    // the source window (sendState) and checks that there is text.
    void sendActiveText(const QString& text, const QString& remoteIp, qint32 remotePort);

    // User-list dialog operations.
    void load() { m_state.load(); }
    bool isLoaded() const { return m_state.isLoaded(); }
    void refreshPeers() { m_state.refreshPeers(); }
    void activateDialog() { m_state.activateDialog(); }
    void chooseRow(int row) { m_state.chooseRow(row); }
    void cancel() { m_state.cancel(); }
    // "送信" released with a mouse button.
    void send(Button button) { m_sendJob.start(button); }
    // The close box. The dialog's state is discarded; the next use loads it again.
    void close(bool isEndmode);

    PeerListModel* peers() { return m_state.peers(); }
    const PeerListModel* peers() const { return m_state.peers(); }
    QTimer& retryTimer() { return m_sendJob.retryTimer(); }
    void tick() { m_sendJob.tick(); }

Q_SIGNALS:
    // The user became absent (a title), present (empty) or absent under another title.
    void absenceChanged(const QString& title);

private:
    quint16 storedPort();

    platform::UdpEndpoint& m_endpoint;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::MessageBoxes& m_boxes;
    MessengerHost& m_host;

    platform::DeferredMessageBoxes m_deferredBoxes;
    PacketSender m_sender;
    UserListState m_state;
    SendJob m_sendJob;
    ReceiveProcessor m_receiver;
};

} // namespace velmar::ipmsg
