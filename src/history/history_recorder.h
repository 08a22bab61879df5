#pragma once

#include "ipmsg/message_log.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace velmar::settings {
class SettingsStore;
}

namespace velmar::history {

class HistoryWriter;
struct HistoryEvent;

// The messaging engine's log turned into history events. Nothing is written while
// the setting "History" is "0"; the database and its journal are made at the first
// message kept, in the user's data folder.
//
// A sealed message's text waits here, in memory only, until its window is opened;
// closed unopened, the message is kept as discarded without its text.
class HistoryRecorder final : public QObject, public ipmsg::MessageLog {
    Q_OBJECT
public:
    // `folder`: where the files live (defaultFolder() in the program).
    HistoryRecorder(settings::SettingsStore& store, QString folder, QObject* parent = nullptr);
    ~HistoryRecorder() override;

    // $XDG_DATA_HOME/Velmar (~/.local/share/Velmar by default).
    static QString defaultFolder();
    QString folder() const { return m_folder; }
    QString databasePath() const;
    bool enabled() const;
    // Shows a problem to the user (a box); called on the program's thread.
    void setProblemHandler(std::function<void(const QString&, const QString&)> handler)
    {
        m_problem = std::move(handler);
    }
    // The writer, made and started on first use; nullptr while the history is off.
    HistoryWriter* writer();
    // Empties the history (the confirmation is the caller's).
    void clear();
    // The keeping period changed in the settings.
    void settingsChanged();

    // A window shows the sealed message `id`; opening or closing it decides its fate.
    void attachSealed(QObject* window, const QString& id);
    void sealOpened(QObject* window);
    void sealDiscarded(QObject* window);
    // Whether windows hold sealed messages not opened yet.
    bool hasUnopenedSealed() const { return !m_sealedWindows.isEmpty(); }

    // ipmsg::MessageLog
    QString newId() override;
    void messageArrived(const ipmsg::IncomingMessage& message, const ipmsg::LoggedPeer& sender,
                        const QString& packetNo, bool collected, bool automatic) override;
    QString sendStarted(const QString& text, bool sealed,
                        const QList<ipmsg::LoggedRecipient>& recipients) override;
    void recipientDone(const QString& sendId, const QString& address, quint16 port,
                       bool delivered) override;
    void absenceReplySent(const ipmsg::LoggedPeer& to, const QString& text) override;
    void noticeArrived(const QString& address, quint16 port, const QString& packetNo,
                       bool opened) override;

private:
    void record(const HistoryEvent& event);
    void startWriter();
    void sealFate(QObject* window, bool opened);

    settings::SettingsStore& m_store;
    QString m_folder;
    std::unique_ptr<HistoryWriter> m_writer;
    std::function<void(const QString&, const QString&)> m_problem;
    QString m_idPrefix;
    quint64 m_nextId = 0;
    QHash<QString, QString> m_sealedTexts;        // id -> text, until opened
    QHash<QObject*, QStringList> m_sealedWindows; // window -> ids behind its seal
};

} // namespace velmar::history
