#pragma once

// What the messaging engine needs from the main window. MainWindow implements it;
// tests use a small fake.

#include <QString>
#include <optional>

namespace velmar::ipmsg {

// A received message (or version answer), everything its text window shows. The
// main window opens a text window in the background (openTextWindow with 0) and fills it
// from this.
struct IncomingMessage {
    QString text;             // CR LF line breaks, for setText
    QString caption;          // "From Network <name>(IP Messenger Protcol) <date>"
    QString replyAddress;     // sender IP, the reply address
    qint32 replyPort = 0;     // sender port, the reply port
    QString senderName;       // the name shown in the caption ("nickname/group")
    QString statusText;       // "IPM(未返信)<port>:<ip>"
    bool sealed = false;      // show the open button over the text
    QString packetNumber;     // packet number, set for sealed messages only
    bool noticeOwed = false;  // a read or discard notice is owed
    bool passwordBox = false; // show the password box (locked, local password set)
    // IPMBGCOLOR as a colour number (see settings/colour_value.h); nullopt keeps the normal
    // background.
    std::optional<quint32> background;
    // Past the limit of new windows from all senders together: the message goes to the
    // one collecting window shared by every sender.
    bool storm = false;
    // The message's id in the history; empty when no history is kept.
    QString historyId;
};

class MessengerHost {
public:
    virtual ~MessengerHost() = default;

    // The next activation of the main window only clears this request instead of
    // opening a clipboard window: the user is coming back from the user-list dialog.
    virtual void skipNextActivation() = 0;
    // The version text (showVersion), for example "Velmar6 Ver7.3.0.2".
    virtual QString versionText() const = 0;
    // Opens a text window in the background and fills it from `message`.
    virtual void openMessageWindow(const IncomingMessage& message) = 0;
    // A sender past the flood limit: `message` goes to that sender's collecting window
    // (one is opened when there is none or the user closed it), under a line naming
    // its arrival time, instead of a window of its own. With `message.storm` it goes to
    // the one window that collects every sender's messages, under its sender and time.
    virtual void collectMessage(const IncomingMessage& message) = 0;
    // Plays the arrival sound chosen in the settings, when there is one.
    virtual void playArrivalSound() = 0;
    // m_inTray, and the start of the icon's blinking (m_messageWaiting, the blink timer).
    virtual bool inTray() const = 0;
    virtual void startBlinking() = 0;
    // A send completed: the first text window with sendState == 1 shows "IPM(送信済)"
    // and gets sendState = 0.
    virtual void markSent() = 0;
};

} // namespace velmar::ipmsg
