#include "settings/settings_values.h"

#include "common/list_helpers.h"
#include "common/text_bytes.h"
#include "components/components.h"
#include "settings/colour_value.h"
#include "settings/dialog_host.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace velmar::settings {

namespace {

QString ipmSection(quint16 port)
{
    return QStringLiteral("IPM\\") + QString::number(port);
}

QString read(const SettingsStore& store, const QString& section, const Setting& setting)
{
    return store.read(section, setting.key.toString(), setting.fallback.toString());
}

void write(SettingsStore& store, const QString& section, const Setting& setting,
           const QString& value)
{
    store.write(section, setting.key.toString(), value);
}

// The whole-number part of a stored number; nothing for a text that is no number.
std::optional<qint64> storedWholeNumber(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e15)
        return std::nullopt;
    return static_cast<qint64>(std::trunc(value));
}

quint32 colourSetting(const SettingsStore& store, const Setting& setting)
{
    const QString text = store.read(setting);
    if (isUnset(text))
        return WindowBackgroundColour;
    return parseColorValue(text).value_or(WindowBackgroundColour);
}

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<quint32> numberCheck(const QString& text, components::Textgauge& textgauge)
{
    QString copy = text;
    const QString checked = textgauge.NumChk(copy, 3);
    if (checked == NumberCheckError)
        return std::nullopt;
    bool ok = false;
    const uint value = checked.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

QString cleanField(const QString& text)
{
    QString out = text;
    out.replace(u':', u';');
    out.replace(u'\t', u' ');
    return out;
}

QString colourText(quint32 value)
{
    return QString::number(static_cast<qint32>(value));
}

QString toHalfWidth(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            c = QChar(u' ');
    }
    return out;
}

std::optional<quint16> portNumber(const QString& text, components::Textgauge& textgauge)
{
    const auto value = numberCheck(text, textgauge);
    if (!value || *value < 1 || *value > 0xFFFF)
        return std::nullopt;
    return static_cast<quint16>(*value);
}

std::optional<QString> retryCount(const QString& text, components::Textgauge& textgauge)
{
    const auto value = numberCheck(text, textgauge);
    if (!value || *value < MinRetry || *value > MaxRetry)
        return std::nullopt;
    return QString::number(*value);
}

std::optional<QString> numberFieldRefusal(const QString& text, NumberRange range,
                                          components::Textgauge& textgauge)
{
    const auto value = numberCheck(text, textgauge);
    if (value && *value >= quint32(range.min) && *value <= quint32(range.max))
        return std::nullopt;
    // The number check refuses numbers past its own limit too: a text of digits
    // (with a sign) is a number all the same, only not one the field takes.
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (!value && !digits.match(toHalfWidth(text).trimmed()).hasMatch())
        return QStringLiteral("数字をお願い");
    return QStringLiteral("%1 から %2 までの数字をお願い")
        .arg(QString::number(range.min), QString::number(range.max));
}

bool isAddressOrHostName(const QString& text)
{
    if (text.isEmpty() || text.size() > 253)
        return false;
    const QStringList labels = text.split(u'.');
    static const QRegularExpression number(QStringLiteral("^[0-9]+$"));
    const bool allNumbers = std::all_of(labels.cbegin(), labels.cend(), [](const QString& l) {
        return number.match(l).hasMatch();
    });
    if (allNumbers) {
        // Dotted digits are an address or nothing: 999.1.1.1 is no host name.
        return labels.size() == 4 &&
               std::all_of(labels.cbegin(), labels.cend(),
                           [](const QString& l) { return l.size() <= 3 && l.toInt() <= 255; });
    }
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    return std::all_of(labels.cbegin(), labels.cend(),
                       [](const QString& l) { return label.match(l).hasMatch(); });
}

QStringList parseBroadcastList(const QString& stored, quint16 port)
{
    QStringList entries;
    const QStringList pieces = stored.split(u',');
    for (const QString& piece : pieces) {
        const QString entry = piece.trimmed();
        if (entry.isEmpty())
            continue;
        entries << (entry.contains(u':') ? entry : QString::number(port) + u':' + entry);
    }
    return entries;
}

QString joinBroadcastList(const QStringList& entries)
{
    QStringList trimmed;
    for (const QString& entry : entries)
        trimmed << entry.trimmed();
    return trimmed.join(u',');
}

QList<AbsenceMessage> parseAbsenceMessages(const QString& stored)
{
    QList<AbsenceMessage> messages;
    QString rest = stored;
    while (rest.contains(u':')) {
        const qsizetype colon = rest.indexOf(u':');
        const QString title = rest.left(colon).trimmed();
        rest = rest.mid(colon + 1).trimmed();
        const qsizetype next = rest.indexOf(u':');
        if (next < 0) {
            messages.append({title, rest});
            break;
        }
        messages.append({title, rest.left(next).trimmed()});
        rest = rest.mid(next + 1).trimmed();
    }
    return messages;
}

QString joinAbsenceMessages(const QList<AbsenceMessage>& messages)
{
    QStringList parts;
    for (const AbsenceMessage& message : messages)
        parts << message.title.trimmed() << message.body.trimmed();
    return parts.join(u':');
}

QStringList parseReplyColours(const QString& stored)
{
    const QStringList tokens = stored.split(u' ', Qt::SkipEmptyParts);
    QStringList entries;
    for (qsizetype i = 0; i + 1 < tokens.size(); i += 2)
        entries << tokens[i].trimmed() + u' ' + tokens[i + 1].trimmed();
    return entries;
}

SettingsValues loadSettings(const SettingsStore& store, SettingsDialogHost& host)
{
    namespace k = keys;
    SettingsValues v;
    v.replyMark = store.read(k::ReplyMark);
    v.autoIme = storedWholeNumber(store.read(k::Ime)).value_or(0) != 0;
    v.background = colourSetting(store, k::BackgroundColour);
    v.messageBackground = colourSetting(store, k::MessageBackgroundColour);
    v.absentRowBackground = colourSetting(store, k::AbsentBackgroundColour);
    v.presentRowBackground = colourSetting(store, k::PresentBackgroundColour);
    v.password = store.read(k::Password);
    if (const QString colours = store.read(k::ReplyColours); !isUnset(colours))
        v.replyColours = parseReplyColours(colours);
    v.saveWindowState = store.read(k::SavePlacement) != u"0";

    const quint16 port = host.localPort();
    const QString section = ipmSection(port);
    v.port = QString::number(port);
    v.userName = read(store, section, k::UserName);
    v.groupName = read(store, section, k::GroupName);
    // Shown as the engine reads it: a stored 0 announces once, not never.
    v.retry = QString::number(retryTimes(read(store, section, k::Retry)));
    const qint64 sort = storedWholeNumber(read(store, section, k::ListSort)).value_or(1);
    v.sortColumn = sort >= 0 && sort <= 2 ? static_cast<int>(sort) : 1;
    v.ascending = storedWholeNumber(read(store, section, k::SortAscending)).value_or(0) != 0;
    if (const QString list = read(store, section, k::BroadcastList); !isUnset(list))
        v.broadcasts = parseBroadcastList(list, port);
    if (const QString absences = read(store, section, k::AbsenceMessages); !isUnset(absences))
        v.absences = parseAbsenceMessages(absences);

    // An absence title that is no longer among the messages ends the absence; peers
    // must not keep showing it.
    const QString title = host.absenceTitle();
    const bool known = std::any_of(v.absences.cbegin(), v.absences.cend(),
                                   [&](const AbsenceMessage& m) { return m.title == title; });
    if (!title.isEmpty() && !known) {
        host.setAbsence({}, {});
        host.announce();
    }
    v.absenceTitle = known ? title : QString();

    if (host.hasSoundComponent())
        v.soundFile = store.read(k::SoundFile);
    v.notify = store.read(k::Notify).trimmed() == u"1";
    return v;
}

CommitResult commitSettings(const SettingsValues& v, SettingsStore& store,
                            components::Textgauge& textgauge, SettingsDialogHost& host)
{
    namespace k = keys;
    // Move first: when the new port cannot be bound the user can correct it in the
    // dialog, which is still open with everything that was typed.
    const std::optional<quint16> port = portNumber(v.port, textgauge);
    if (port && *port != host.localPort() && !host.movePort(*port))
        return CommitResult::PortRefused;

    store.write(k::ReplyMark, v.replyMark);
    store.write(k::Ime, flag(v.autoIme));
    store.write(k::BackgroundColour, colourText(v.background));
    store.write(k::MessageBackgroundColour, colourText(v.messageBackground));
    store.write(k::AbsentBackgroundColour, colourText(v.absentRowBackground));
    // The peer list colours present peers with this key; nothing else writes it.
    store.write(k::PresentBackgroundColour, colourText(v.presentRowBackground));
    store.write(k::Password, v.password);
    store.write(k::SavePlacement, flag(v.saveWindowState));
    store.write(k::ReplyColours, v.replyColours.join(u' '));
    store.write(k::Notify, flag(v.notify));
    host.reapplyTextWindows();

    if (port) {
        const QString section = ipmSection(*port);
        if (v.portAtStart)
            store.write(k::Port, QString::number(*port));
        write(store, section, k::UserName, cleanField(v.userName));
        write(store, section, k::GroupName, cleanField(v.groupName));
        write(store, section, k::Retry,
              retryCount(v.retry, textgauge).value_or(DefaultRetry.toString()));
        write(store, section, k::ListSort,
              QString::number(v.sortColumn >= 0 && v.sortColumn <= 2 ? v.sortColumn : 1));
        write(store, section, k::SortAscending, flag(v.ascending));
        write(store, section, k::BroadcastList, joinBroadcastList(v.broadcasts));
        write(store, section, k::AbsenceMessages, joinAbsenceMessages(v.absences));
    }

    if (v.absenceTitle.isEmpty()) {
        host.setAbsence({}, {});
    } else {
        QString text = host.absenceText();
        for (const AbsenceMessage& message : v.absences) {
            if (message.title == v.absenceTitle) {
                text = message.body;
                break;
            }
        }
        host.setAbsence(v.absenceTitle, text);
    }
    host.announce();
    host.applyStoredSettings();
    return CommitResult::Stored;
}

EditResult addReplyColour(QStringList& entries, const QString& marks, quint32 colour)
{
    QString compact = marks;
    compact.remove(u' ');
    if (compact.isEmpty())
        return EditResult::Ignored;
    const QString entry = compact + u' ' + colourText(colour);
    return addListItemUnique(entries, entry, true) ? EditResult::Ignored : EditResult::Added;
}

ReplyColourEntry splitReplyColour(const QString& entry)
{
    const qsizetype blank = entry.indexOf(u' ');
    if (blank < 0)
        return {entry.trimmed(), 0};
    const auto value = storedWholeNumber(entry.mid(blank + 1));
    return {entry.left(blank).trimmed(), static_cast<quint32>(value.value_or(0))};
}

EditResult addBroadcast(QStringList& entries, const QString& port, const QString& address)
{
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return EditResult::Ignored;
    if (!isAddressOrHostName(trimmed))
        return EditResult::BadAddress;
    return addListItemUnique(entries, port.trimmed() + u':' + trimmed, true) ? EditResult::Duplicate
                                                                             : EditResult::Added;
}

BroadcastEntry splitBroadcast(const QString& entry, components::Textgauge& textgauge)
{
    const QString s = toHalfWidth(entry.trimmed());
    const qsizetype colon = s.indexOf(u':');
    const QString portPart = colon < 0 ? QString() : s.left(colon);
    BroadcastEntry out;
    out.address = colon < 0 ? s : s.mid(colon + 1);
    if (const auto port = numberCheck(portPart, textgauge))
        out.port = QString::number(*port);
    return out;
}

EditResult addAbsence(QList<AbsenceMessage>& messages, const QString& title, const QString& body)
{
    const QString cleanTitle = cleanField(title).trimmed();
    const QString cleanBody = cleanField(body).trimmed();
    if (cleanTitle.isEmpty() || cleanBody.isEmpty())
        return EditResult::EmptyField;
    for (const AbsenceMessage& message : messages) {
        if (message.title == cleanTitle)
            return EditResult::DuplicateTitle;
    }
    messages.append({cleanTitle, cleanBody});
    return EditResult::Added;
}

} // namespace velmar::settings
