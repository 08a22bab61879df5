#pragma once

// The settings dialog's decisions without widgets: every field it shows, read from
// the store, checked, and written back.

#include "settings/typed_setting.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmar::components {
class Textgauge;
}

namespace velmar::settings {

class SettingsDialogHost;
class SettingsStore;

// The window background system colour: what a colour swatch holds before a colour
// was chosen, stored as -2147483643.
inline constexpr quint32 WindowBackgroundColour = 0x80000005u;

struct AbsenceMessage {
    QString title;
    QString body;
    friend bool operator==(const AbsenceMessage&, const AbsenceMessage&) = default;
};

// Everything the dialog shows, field by field.
struct SettingsValues {
    // Tab "一般".
    QString replyMark;
    bool autoIme = true;
    quint32 background = WindowBackgroundColour;
    quint32 messageBackground = WindowBackgroundColour;
    quint32 absentRowBackground = WindowBackgroundColour;
    quint32 presentRowBackground = WindowBackgroundColour;
    QString password;
    bool saveWindowState = false;
    // Reply-mark colour entries: marks without blanks, one blank, the colour in decimal.
    QStringList replyColours;
    QString retry;
    QString soundFile;
    bool notify = true;

    // Tab "IP Messenger 関連".
    QString userName;
    QString groupName;
    QString port;
    bool portAtStart = false;
    int sortColumn = 1; // 0 user, 1 group, 2 IP address
    bool ascending = false;
    // Address entries, port first: "2425:192.168.0.255".
    QStringList broadcasts;
    QList<AbsenceMessage> absences;
    // The chosen absence mode: a title of `absences`, or empty for "present".
    QString absenceTitle;

    friend bool operator==(const SettingsValues&, const SettingsValues&) = default;
};

// Every ":" becomes ";" and every TAB a blank: ":" separates packet fields and the
// stored absence list, TAB the columns of the grids.
QString cleanField(const QString& text);

// A colour number as the store keeps it: signed decimal text.
QString colourText(quint32 value);

// A port typed by the user: a number of 1 to 65535 (blanks and full-width digits
// allowed), else nothing.
std::optional<quint16> portNumber(const QString& text, components::Textgauge& textgauge);
// A retry count typed by the user: 1 to 20, as plain digits. 0 would announce
// nothing at all, and more would flood the network with every announcement; a typo
// such as 600 is refused.
std::optional<QString> retryCount(const QString& text, components::Textgauge& textgauge);
inline constexpr QStringView DefaultRetry = u"6";

// What a number field of the dialog accepts.
struct NumberRange {
    int min;
    int max;
};
inline constexpr NumberRange PortRange{1, 65535};
inline constexpr NumberRange RetryRange{MinRetry, MaxRetry};
// Why a number field's text is refused: "数字をお願い" for a text that is no number,
// the range for a number outside it; nothing when it is accepted.
std::optional<QString> numberFieldRefusal(const QString& text, NumberRange range,
                                          components::Textgauge& textgauge);

// A destination the broadcast list can hold: an IPv4 address in dotted form, or a
// host name (labels of letters, digits and "-", joined by ".").
bool isAddressOrHostName(const QString& text);

// "BroadCast": entries joined by ","; an entry stored without a port is read with
// `port`. Empty pieces are skipped, so an empty text is an empty list.
QStringList parseBroadcastList(const QString& stored, quint16 port);
QString joinBroadcastList(const QStringList& entries);

// "NoHere": title1:body1:title2:body2, each part trimmed. A title left without a
// body at the end is dropped.
QList<AbsenceMessage> parseAbsenceMessages(const QString& stored);
QString joinAbsenceMessages(const QList<AbsenceMessage>& messages);

// "ResColor": marks and colour pairs, all separated by blanks. A last token without
// its colour is dropped.
QStringList parseReplyColours(const QString& stored);

// Every field from the store; the IP Messenger keys from the section of the host's
// port. An absence title of the host that is no longer among the messages ends the
// absence, and peers are told.
SettingsValues loadSettings(const SettingsStore& store, SettingsDialogHost& host);

enum class CommitResult {
    Stored,
    // The port could not be bound: nothing was stored, the endpoint stays where it was.
    PortRefused,
};

// "セット": moves the endpoint when the port changed, stores every field (the IP
// Messenger keys under the new port's section, "Port" only with `portAtStart`),
// has the text windows apply the new look, sets the absence mode and announces the
// user. A port field that is no port leaves the port and the IP Messenger keys as
// they were and stores the rest.
CommitResult commitSettings(const SettingsValues& values, SettingsStore& store,
                            components::Textgauge& textgauge, SettingsDialogHost& host);

// The list editors. Each answers what happened, so the dialog can tell the user.
enum class EditResult {
    Added,
    Ignored,        // nothing to add, or a silent duplicate
    Duplicate,      // the entry is in the list already
    EmptyField,     // a field that must be filled is empty
    DuplicateTitle, // an absence message with this title exists
    BadAddress,     // neither an address nor a host name
};

// Marks (blanks removed) and colour; an empty mark text or a duplicate is ignored.
EditResult addReplyColour(QStringList& entries, const QString& marks, quint32 colour);
struct ReplyColourEntry {
    QString marks;
    quint32 colour = 0;
};
ReplyColourEntry splitReplyColour(const QString& entry);

// Port + ":" + address (trimmed); an empty address is ignored, one that is neither
// an address nor a host name refused.
EditResult addBroadcast(QStringList& entries, const QString& port, const QString& address);
struct BroadcastEntry {
    std::optional<QString> port; // nothing when the port part is no number
    QString address;
};
BroadcastEntry splitBroadcast(const QString& entry, components::Textgauge& textgauge);

// Title and body, cleaned and trimmed as they are stored, so that the title chosen
// as the absence mode is found again when the dialog next loads; both must be
// filled and the title must be new.
EditResult addAbsence(QList<AbsenceMessage>& messages, const QString& title, const QString& body);

// Full-width ASCII and the ideographic space as their half-width forms.
QString toHalfWidth(const QString& text);

} // namespace velmar::settings
