#pragma once

#include "ipmsg/messenger_host.h"
#include "ipmsg/packet.h"
#include "ipmsg/peer_list.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class MessageBoxes;
class UdpEndpoint;
struct Datagram;
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

    Messenger(platform::UdpEndpoint& Winsock1, settings::SettingsStore& store,
              components::Textgauge& textgauge, platform::MessageBoxes& boxes, MessengerHost& host,
              QObject* parent = nullptr);
    ~Messenger() override;

    // Endpoint. Reads Port (section "IPM", NumChk, 2425 on "error") and binds to it.
    // A failed bind is kept by the endpoint: direct sends then show the send-error
    // box once, broadcasts stay silent.
    bool bindEndpoint();
    // Binds to another port (the settings dialog); the IP Messenger section follows.
    bool rebind(quint16 port);
    platform::UdpEndpoint& Winsock1() { return m_endpoint; }

    // Packets.
    QString ipm_cre_head(const QString& packetNo) const;
    // The command sender: one packet with a new number to `destination` (port 0 =
    // the local port), or to 255.255.255.255 and the broadcast list for "BroadCast".
    void ipm_entry(quint32 command, const QString& destination, qint32 port, const QString& extra);
    // Sends one datagram; 0 when handed to the socket, 1 on failure (with the
    // send-error box once per error state unless `mode` is "BroadCast").
    qint16 send_real(const QString& remote, qint32 port, const QString& data, const QString& mode);

    // Presence.
    // Own extra: UserName (plus "[" FuzaiDai "]" in the absent form while absent),
    // NUL, GroupName.
    QString ownExtra(bool absentForm) const;
    // Retry times an entry to everybody; `absentForm` carries the absence title.
    void entryBroadcast(bool absentForm);
    // Retry times the exit to everybody (at shutdown, before the endpoint closes).
    void exitBroadcast();
    // Grid row (1 = first peer) of (IP, port), or 0.
    int ipm_find_row(const QString& ip, const QString& port);
    // Removes grid row `myIndex` (1-based); with at most one peer the list is emptied.
    void DeleteGrid(int myIndex);

    // Receiving.
    void Winsock1_DataArrival(const platform::Datagram& datagram);
    void ipm_receive(const Fields& fields, const QString& senderIp, quint16 senderPort);
    // True when `key` is among the last four messages; otherwise it is remembered.
    bool ipm_dup_chk(const QString& key);

    // Sending.
    // The send command's part: puts the text into the dialog (warning when it will
    // go in pieces), sets the reply target and shows the dialog. The caller marks
    // the source window (IPMs) and checks that there is text.
    void send_messege(const QString& text, const QString& remoteIp, qint32 remotePort);
    void send_main(const QString& piece);
    void send_main1(const QString& packet);
    void send_main2();
    // The retry step (Timer1's tick); tests call it instead of waiting.
    void tick();
    QTimer& Timer1() { return m_timer1; }

    // User-list dialog operations.
    void Load();
    bool isLoaded() const { return m_loaded; }
    void PrivateListRefresh();
    void IPMListSort();
    // Each activation of the dialog: sort, chks = 3, preselect the reply target.
    void Activate();
    // Double-click on a peer (model row): add it to the destinations once.
    void chooseRow(int row);
    // Double-click on a destination: remove it.
    void removeDestination(int index);
    // "ｷｬﾝｾﾙ": destinations emptied, dialog hidden, peers kept.
    void Cancel();
    // The user clicked a check box; the value is what the box shows now.
    void clickCheck1(int value);
    void clickCheck2(int value);
    // Sort option 0..3 (-1 none) and the ascending box; each click sorts.
    void setSortOption(int option);
    void setCheck3(int value);
    // "送信" released with a mouse button.
    void Send(Button button);
    // The close box. The dialog's state is discarded; the next use loads it again.
    void Close(bool isEndmode);

    // State.
    PeerListModel* peers() { return &m_peers; }
    const PeerListModel* peers() const { return &m_peers; }
    const QStringList& List1() const { return m_list1; }
    const QStringList& List2() const { return m_list2; }
    const QString& Text1() const { return m_text1; }
    const QString& RichTextBox1() const { return m_richText; }
    void setRichTextBox1(const QString& text);
    const QString& RemoteIP() const { return m_remoteIp; }
    qint32 RemorePort() const { return m_remotePort; }
    void setReplyTarget(const QString& remoteIp, qint32 remotePort);
    int Check1() const { return m_check1; }
    int Check2() const { return m_check2; }
    int Check3() const { return m_check3; }
    int sortOption() const { return m_sortOption; }
    int progressValue() const { return m_progressValue; }
    int progressMaximum() const { return m_progressMaximum; }
    bool progressShown() const { return m_progressShown; }
    bool formEnabled() const { return m_formEnabled; }
    bool dialogVisible() const { return m_dialogVisible; }

    const QString& FuzaiDai() const { return m_fuzaiDai; }
    const QString& FuzaiBun() const { return m_fuzaiBun; }
    void setAbsence(const QString& title, const QString& text);
    qint16 IPMErr() const { return m_ipmErr; }
    void setIPMErr(qint16 value) { m_ipmErr = value; }
    const std::array<QString, 4>& remotePacketNumbers() const { return m_remotePacketNo; }
    int protcol_ver() const { return m_protcolVer; }

Q_SIGNALS:
    void dialogVisibilityChanged(bool visible);
    // FormAble: the controls' enabled state; "送信中" and the progress bar show when false.
    void formAbleChanged(bool enabled);
    void progressChanged(int value, int maximum);
    void progressShownChanged(bool shown);
    void destinationsChanged();
    void checksChanged();
    void sortStateChanged();
    void richTextChanged(const QString& text);

private:
    void ensureLoaded();
    void FormAble(bool chk);
    void setProgress(int value, int maximum);
    void setProgressShown(bool shown);
    void setDialogVisible(bool visible);
    void addDestination(const QString& name, const QString& entry);
    void removeDestinationAt(int index);
    void clearDestinations();
    qint64 retry() const;
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
    QStringList m_list1;
    QStringList m_list2;
    QString m_text1;
    QString m_richText;
    QString m_remoteIp;
    qint32 m_remotePort = 0;
    int m_check1 = 0;
    int m_check2 = 2;
    int m_check3 = 0;
    int m_sortOption = -1;
    int m_progressValue = 0;
    int m_progressMaximum = 0;
    bool m_progressShown = false;
    bool m_formEnabled = true;
    bool m_dialogVisible = false;
    bool m_loaded = false;
    bool m_inTick = false;

    QString m_fuzaiDai;
    QString m_fuzaiBun;
    qint16 m_ipmErr = 0;
    std::array<QString, 4> m_remotePacketNo;
    int m_protcolVer = 1;
    QTimer m_timer1;
};

} // namespace velmar::ipmsg
