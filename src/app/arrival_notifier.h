#pragma once

#include "platform/desktop_notifications.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace velmar::settings {
class SettingsStore;
}
namespace velmar::text {
class TextWindow;
}

namespace velmar::app {

// Pop-up notifications for messages that arrive while the user looks elsewhere. The
// first message of a burst is shown at once; the others are counted into the same
// notification once a second while they keep coming, so a flood gives one
// notification, not hundreds, and its count is that of the whole burst.
class ArrivalNotifier final : public QObject {
    Q_OBJECT
public:
    ArrivalNotifier(platform::DesktopNotifications& notifications,
                    const settings::SettingsStore& store);

    // A message from `sender` opened `window`. A sealed message shows no text.
    void messageArrived(const QString& sender, const QString& text, bool sealed,
                        text::TextWindow* window);

    // The sender's name in a message window's caption "From Network <name>(…) <date>".
    static QString senderName(const QString& caption);
    // The first lines of a message, as a notification body.
    static QString preview(const QString& text);

Q_SIGNALS:
    // The user clicked the notification; `window` is the newest message's window
    // (nullptr when it has been closed since).
    void clicked(text::TextWindow* window);

private:
    void burstOver();
    void show(const QString& summary, const QString& body);

    platform::DesktopNotifications& m_notifications;
    const settings::SettingsStore& m_store;
    QTimer m_burst;
    quint32 m_id = 0;
    int m_inBurst = 0; // since the notification was last shown
    int m_total = 0;   // since the burst began
    QString m_lastSender;
    QPointer<text::TextWindow> m_newest;
};

} // namespace velmar::app
