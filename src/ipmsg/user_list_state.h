#pragma once

#include "ipmsg/peer_list.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace velmar::settings {
class SettingsStore;
}

namespace velmar::ipmsg {

class MessengerHost;
class PacketSender;

// The "封書" box.
enum class SealedState { Open, Sealed };
// The "施錠" box: available only on a sealed message, greyed otherwise.
enum class LockState { Unlocked, Locked, Unavailable };

// One chosen destination: the name shown and its "port:ip" entry.
struct Destination {
    QString name;
    QString entry;
    friend bool operator==(const Destination&, const Destination&) = default;
};

// What the user-list dialog shows: the peers, the chosen destinations, the text to
// send, the reply target, the sealed/lock boxes, the sort choice, the progress and
// whether the dialog is shown and enabled. The dialog is a view over it.
class UserListState final : public QObject {
    Q_OBJECT
public:
    UserListState(PacketSender& sender, settings::SettingsStore& store, MessengerHost& host,
                  QObject* parent = nullptr);

    // Reads the sort choice and announces us (which empties the peer list).
    void load();
    // The sort choice stored by the settings dialog applies at once to a loaded list.
    void applyStoredSort();
    void ensureLoaded();
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
    void clickSealed(SealedState value);
    void clickLocked(LockState value);
    void setSortColumn(SortColumn column);
    void setSortAscending(bool ascending);
    // The close box: everything back to a dialog never loaded.
    void reset();

    PeerListModel* peers() { return &m_peers; }
    const PeerListModel* peers() const { return &m_peers; }
    const QList<Destination>& destinations() const { return m_destinations; }
    QStringList destinationNames() const;
    QStringList destinationEntries() const;
    int findDestination(const QString& entry) const;
    void removeDestinationAt(int index);
    void clearDestinations();

    const QString& textToSend() const { return m_textToSend; }
    void setTextToSend(const QString& text);
    const QString& replyAddress() const { return m_replyAddress; }
    qint32 replyPort() const { return m_replyPort; }
    void setReplyTarget(const QString& remoteIp, qint32 remotePort);
    SealedState sealedState() const { return m_sealed; }
    LockState lockState() const { return m_lock; }
    SortColumn sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }

    int progressValue() const { return m_progressValue; }
    int progressMaximum() const { return m_progressMaximum; }
    void setProgress(int value, int maximum);
    void stepProgress();
    bool progressShown() const { return m_progressShown; }
    void setProgressShown(bool shown);
    bool formEnabled() const { return m_formEnabled; }
    // The controls' enabled state; "送信中" and the progress bar show when false.
    void setFormEnabled(bool enabled);
    bool dialogVisible() const { return m_dialogVisible; }
    void setDialogVisible(bool visible);

Q_SIGNALS:
    void dialogVisibilityChanged(bool visible);
    void formEnabledChanged(bool enabled);
    void progressChanged(int value, int maximum);
    void progressShownChanged(bool shown);
    void destinationsChanged();
    void checksChanged();
    void sortStateChanged();
    void textToSendChanged(const QString& text);

private:
    void readStoredSort();
    void addDestination(const QString& name, const QString& entry);
    QString rowEntry(int row) const;

    PacketSender& m_sender;
    settings::SettingsStore& m_store;
    MessengerHost& m_host;

    PeerListModel m_peers;
    QList<Destination> m_destinations;
    QString m_textToSend;
    QString m_replyAddress;
    qint32 m_replyPort = 0;
    SealedState m_sealed = SealedState::Open;
    LockState m_lock = LockState::Unavailable;
    SortColumn m_sortColumn = SortColumn::None;
    bool m_sortAscending = false;
    int m_progressValue = 0;
    int m_progressMaximum = 0;
    bool m_progressShown = false;
    bool m_formEnabled = true;
    bool m_dialogVisible = false;
    bool m_loaded = false;
};

} // namespace velmar::ipmsg
