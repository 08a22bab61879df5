#pragma once

// What the messaging engine needs from the main window. MDIForm1 implements it;
// tests use a small fake.

#include <QString>
#include <optional>

namespace velmar::ipmsg {

// A received message (or version answer), everything its text window shows. The
// main window opens a text window in the background (new_win with 0) and fills it
// from this.
struct IncomingMessage {
    QString text;                     // CR LF line breaks, for SetTextData
    QString caption;                  // "From Network <name>(IP Messenger Protcol) <date>"
    QString Tag;                      // sender IP, the reply address
    qint32 PortNo = 0;                // sender port, the reply port
    QString statusText;               // "IPM(未返信)<port>:<ip>"
    bool sealed = false;              // show the open button over the text
    QString pktNo;                    // packet number, set for sealed messages only
    bool IPMSG_ReadCheckSend = false; // a read or discard notice is owed
    bool passwordBox = false;         // show the password box (locked, local password set)
    // IPMBGCOLOR as a colour number (see settings/colour_value.h); nullopt keeps the normal
    // background.
    std::optional<quint32> background;
};

class MessengerHost {
public:
    virtual ~MessengerHost() = default;

    // The main window's field chks: its activation guard (3 = the next activation
    // only resets it) and, during a send, the retry tick counter.
    virtual qint16 chks() const = 0;
    virtual void setChks(qint16 value) = 0;
    // The version text (ver_disp), for example "Velmar6 Ver7.3.0.2".
    virtual QString versionText() const = 0;
    // Opens a text window in the background and fills it from `message`.
    virtual void openMessageWindow(const IncomingMessage& message) = 0;
    // Plays the arrival sound chosen in the settings, when there is one.
    virtual void playArrivalSound() = 0;
    // In_Tray, and the start of the icon's blinking (IsMessage, Timer2).
    virtual bool inTray() const = 0;
    virtual void startBlinking() = 0;
    // A send completed: the first text window with IPMs == 1 shows "IPM(送信済)"
    // and gets IPMs = 0.
    virtual void markSent() = 0;
};

} // namespace velmar::ipmsg
