#pragma once

#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/peer_list.h"
#include "platform/udp_endpoint.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class MessageBoxes;
} // namespace velmar::platform
namespace velmar::settings {
class SettingsStore;
}

namespace velmar::ipmsg {

// The messaging engine: presence, the receive processor, the send pipeline with its
// retries, and the state the user-list dialog shows (peer list, destinations,
// current packet, progress, sort and sealed options). It owns that state; the
// dialog is a view that calls the operations below and follows the signals.
//
// Everything runs on the GUI thread. A message box runs a nested event loop, so a
// datagram or a tick can arrive while one is open: the timer is stopped before its
// handler shows a box, and no handler keeps a row number across a box.
class Messenger final : public QObject {
    Q_OBJECT
public:
    // Mouse buttons that can release the send button.
    enum class Button { Left, Other };

    Messenger(platform::UdpEndpoint& endpoint, settings::SettingsStore& store,
              components::Textgauge& textgauge, platform::MessageBoxes& boxes, MessengerHost& host,
              QObject* parent = nullptr);
    ~Messenger() override;

    // Endpoint. Reads Port (section "IPM", NumChk, 2425 on "error") and binds to it.
    // A failed bind is kept by the endpoint: direct sends then show the send-error
    // box once, broadcasts stay silent.
    bool bindEndpoint();
    // Binds to another port (the settings dialog); the IP Messenger section follows.
    bool rebind(quint16 port);
    platform::UdpEndpoint& endpoint() { return m_endpoint; }

    // Packets.
    QString packetHeader(const QString& packetNo) const;
    // The command sender: one packet with a new number to `destination` (port 0 =
    // the local port), or to 255.255.255.255 and the broadcast list for "BroadCast".
    void sendCommand(quint32 command, const QString& destination, qint32 port,
                     const QString& extra);
    // Sends one datagram; 0 when handed to the socket, 1 on failure (with the
    // send-error box once per error state unless `mode` is "BroadCast").
    qint16 sendDatagram(const QString& remote, qint32 port, const QString& data,
                        const QString& mode);

    // Presence.
    // Own extra: UserName (plus "[" absenceTitle "]" in the absent form while absent),
    // NUL, GroupName.
    QString ownExtra(bool absentForm) const;
    // Retry times an entry to everybody; `absentForm` carries the absence title.
    void entryBroadcast(bool absentForm);
    // Retry times the exit to everybody (at shutdown, before the endpoint closes).
    void exitBroadcast();
    // Grid row (1 = first peer) of (IP, port), or 0.
    int findPeerRow(const QString& ip, const QString& port);
    // Removes grid row `myIndex` (1-based); with at most one peer the list is emptied.
    void deletePeerRow(int myIndex);

    // Receiving.
    void handleDatagram(const platform::Datagram& datagram);
    // While held, arriving datagrams wait unanswered (a first start: nothing may go
    // out before the user has chosen a name); releasing handles them in order.
    void holdArrivals(bool hold);
    void receive(const Fields& fields, const QString& senderIp, quint16 senderPort);
    // True when `key` is among the last four messages; otherwise it is remembered.
    bool isDuplicate(const QString& key);

    // Sending.
    // The send command's part: puts the text into the dialog (warning when it will
    // go in pieces), sets the reply target and shows the dialog. The caller marks
    // the source window (sendState) and checks that there is text.
    void sendActiveText(const QString& text, const QString& remoteIp, qint32 remotePort);
    void sendPiece(const QString& piece);
    void sendPacket(const QString& packet);
    void finishSend();
    // The retry step (retryTimer's tick); tests call it instead of waiting.
    void tick();
    QTimer& retryTimer() { return m_retryTimer; }

    // User-list dialog operations.
    void load();
    bool isLoaded() const { return m_loaded; }
    void refreshPeers();
    void sortPeers();
    // Each activation of the dialog: sort, skip the main window's next activation,
    // preselect the reply target.
    void activateDialog();
    // Double-click on a peer (model row): add it to the destinations once.
    void chooseRow(int row);
    // Double-click on a destination: remove it.
    void removeDestination(int index);
    // "ｷｬﾝｾﾙ": destinations emptied, dialog hidden, peers kept.
    void cancel();
    // The user clicked a check box; the value is what the box shows now.
    void clickSealed(int value);
    void clickLocked(int value);
    // Sort option 0..3 (-1 none) and the ascending box; each click sorts.
    void setSortOption(int option);
    void setSortAscending(int value);
    // "送信" released with a mouse button.
    void send(Button button);
    // The close box. The dialog's state is discarded; the next use loads it again.
    void close(bool isEndmode);

    // State.
    PeerListModel* peers() { return &m_peers; }
    const PeerListModel* peers() const { return &m_peers; }
    const QStringList& destinationNames() const { return m_destinationNames; }
    const QStringList& destinationEntries() const { return m_destinationEntries; }
    const QString& packetText() const { return m_packetText; }
    const QString& textToSend() const { return m_textToSend; }
    void setTextToSend(const QString& text);
    const QString& replyAddress() const { return m_replyAddress; }
    qint32 replyPort() const { return m_replyPort; }
    void setReplyTarget(const QString& remoteIp, qint32 remotePort);
    int sealedCheck() const { return m_sealedCheck; }
    int lockCheck() const { return m_lockCheck; }
    int sortAscending() const { return m_sortAscending; }
    int sortOption() const { return m_sortOption; }
    int progressValue() const { return m_progressValue; }
    int progressMaximum() const { return m_progressMaximum; }
    bool progressShown() const { return m_progressShown; }
    bool formEnabled() const { return m_formEnabled; }
    bool dialogVisible() const { return m_dialogVisible; }

    const QString& absenceTitle() const { return m_absenceTitle; }
    const QString& absenceText() const { return m_absenceText; }
    void setAbsence(const QString& title, const QString& text);
    qint16 sendErrorState() const { return m_sendErrorState; }
    void setSendErrorState(qint16 value) { m_sendErrorState = value; }
    const std::array<QString, 4>& remotePacketNumbers() const { return m_remotePacketNo; }
    int protocolVersion() const { return m_protocolVersion; }

Q_SIGNALS:
    void dialogVisibilityChanged(bool visible);
    // setFormEnabled: the controls' enabled state; "送信中" and the progress bar show when false.
    void formEnabledChanged(bool enabled);
    void progressChanged(int value, int maximum);
    void progressShownChanged(bool shown);
    void destinationsChanged();
    void checksChanged();
    void sortStateChanged();
    void richTextChanged(const QString& text);

private:
    void ensureLoaded();
    void setFormEnabled(bool chk);
    void setProgress(int value, int maximum);
    void setProgressShown(bool shown);
    void setDialogVisible(bool visible);
    void addDestination(const QString& name, const QString& entry);
    void removeDestinationAt(int index);
    void clearDestinations();
    qint64 retry() const;
    // The absence option of an entry or entry answer in the given form.
    quint32 absenceOption(bool absentForm) const;
    QString newEntryNumber();
    void presenceUpdate(const Fields& fields, const Command& command,
                        const QStringList& extraPieces, const QString& ip, const QString& portText);
    void readNotice(const Fields& fields, const Command& command, const QString& ip, quint16 port);
    void message(const Fields& fields, const Command& command, const QString& ip, quint16 port,
                 const QString& portText);

    platform::UdpEndpoint& m_endpoint;
    settings::SettingsStore& m_store;
    components::Textgauge& m_textgauge;
    platform::MessageBoxes& m_boxes;
    MessengerHost& m_host;

    PeerListModel m_peers;
    QStringList m_destinationNames;
    QStringList m_destinationEntries;
    QString m_packetText;
    QString m_textToSend;
    QString m_replyAddress;
    qint32 m_replyPort = 0;
    int m_sealedCheck = 0;
    int m_lockCheck = 2;
    int m_sortAscending = 0;
    int m_sortOption = -1;
    int m_progressValue = 0;
    int m_progressMaximum = 0;
    bool m_progressShown = false;
    bool m_formEnabled = true;
    bool m_dialogVisible = false;
    bool m_loaded = false;
    bool m_inTick = false;
    bool m_holdArrivals = false;
    QList<platform::Datagram> m_heldArrivals;
    // Ticks of the retry timer since the last piece went out.
    int m_ticks = 0;

    QString m_absenceTitle;
    QString m_absenceText;
    qint16 m_sendErrorState = 0;
    std::array<QString, 4> m_remotePacketNo;
    int m_protocolVersion = 1;
    QTimer m_retryTimer;
};

} // namespace velmar::ipmsg
