#pragma once

// Test doubles for the messaging engine: a host that records what the main window
// would do, a character-check component with predictable packet numbers and date,
// and a fixture wiring both to a fake endpoint and a temporary settings store.

#include "components/textgauge.h"
#include "ipmsg/messenger.h"
#include "platform/fakes.h"
#include "settings/keys.h"
#include "support/fake_messenger_host.h"
#include "support/temp_settings.h"

#include <gtest/gtest.h>
#include <memory>

namespace velmar::ipmsg::testing {

using FakeHost = ::velmar::testing::FakeMessengerHost;

// The real component, with packet numbers 1001, 1002, ... (messages get them with
// leading zeros, "0001001", to show where they are kept) and a fixed date.
class CountingTextgauge final : public components::Textgauge {
public:
    QString NumChk(QString& text, qint16 option) override { return real.NumChk(text, option); }
    QString numnum(QString& text) override { return real.numnum(text); }
    QString PasGene(qint16, qint16, qint16, qint16, qint16, qint16, qint16) override
    {
        return QStringLiteral("000") + QString::number(++next);
    }
    QString DayIs(qint16) override { return QStringLiteral("2024/05/06 07:08:09"); }
    QString ResAddText(QString& text, const QString& sep, const QString& mark) override
    {
        return real.ResAddText(text, sep, mark);
    }
    QString TRimText(QString& text, const QString& sep) override
    {
        return real.TRimText(text, sep);
    }

    components::TextgaugeImpl real;
    int next = 1000;
};

inline QByteArray sjis(const char* utf8)
{
    return toWire(QString::fromUtf8(utf8));
}

// Our names in UTF-8 as they follow the Shift_JIS fields of our entries (host "PC01").
inline QByteArray ownNames(const char* nickname, const char* group = "NoGroup")
{
    const QString name = QString::fromUtf8(nickname);
    return utf8NamesTail({name, QStringLiteral("PC01"), name, QString::fromUtf8(group)});
}

class MessengerTest : public ::testing::Test {
protected:
    MessengerTest()
    {
        endpoint.bind(2425);
        messenger = std::make_unique<Messenger>(endpoint, *settings.store, gauge, boxes, host);
    }

    void set(const settings::Setting& key, const char* value)
    {
        settings.store->write(key, QString::fromUtf8(value));
    }
    // Loads the dialog state (which announces us) and forgets what that sent.
    void load()
    {
        messenger->load();
        endpoint.sent.clear();
    }
    // A datagram from ip:port, given as UTF-8 text with "\0" allowed via QByteArray.
    void receive(const QByteArray& utf8, const char* ip, quint16 port)
    {
        endpoint.inject(toWire(QString::fromUtf8(utf8)), QString::fromUtf8(ip), port);
    }
    void addPeer(const char* name, const char* ip, quint16 port)
    {
        QByteArray packet("1:1:u:h:3:");
        packet += name;
        packet += QByteArray("\0g", 2);
        receive(packet, ip, port);
        endpoint.sent.clear();
    }
    QList<QByteArray> sentData() const
    {
        QList<QByteArray> out;
        for (const auto& s : endpoint.sent)
            out << s.data;
        return out;
    }

    ::velmar::testing::TempSettings settings;
    CountingTextgauge gauge;
    platform::RecordingMessageBoxes boxes;
    platform::FakeUdpEndpoint endpoint;
    FakeHost host;
    std::unique_ptr<Messenger> messenger;
};

} // namespace velmar::ipmsg::testing
