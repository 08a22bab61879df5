#include "components/textgauge.h"
#include "settings/fake_dialog_host.h"
#include "settings/keys.h"
#include "settings/settings_values.h"
#include "support/temp_settings.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace velmar::settings;
using namespace Qt::StringLiterals;
using velmar::settings::testing::FakeDialogHost;

namespace {

const QString kGeneral = QStringLiteral("general");
const QString kSection2425 = QStringLiteral("IPM\\2425");
const QString kSection2426 = QStringLiteral("IPM\\2426");

// A store as a user who has used the program for a while leaves it.
void fillStore(SettingsStore& store)
{
    const QList<std::pair<QString, QString>> general = {
        {u"res_moji"_s, u"＞"_s},
        {u"IME"_s, u"0"_s},
        {u"BGCOLOR"_s, u"15794175"_s},
        {u"IPMBGCOLOR"_s, u"-2147483643"_s},
        {u"FuzaiBGColor"_s, u"12632256"_s},
        {u"DefoBGColor"_s, u"16777215"_s},
        {u"ResColor"_s, u">> 255 >,＞ 32768"_s},
        {u"PASSWORD"_s, u"ひみつ"_s},
        {u"ITI_IsSave"_s, u"1"_s},
    };
    for (const auto& [key, value] : general)
        store.write(kGeneral, key, value);
    const QList<std::pair<QString, QString>> messaging = {
        {u"UserName"_s, u"山田 太郎"_s},
        {u"GroupName"_s, u"開発部"_s},
        {u"Retry"_s, u"4"_s},
        {u"ListSort"_s, u"2"_s},
        {u"ListSortZyun"_s, u"1"_s},
        {u"BroadCast"_s, u"2425:192.168.0.255,2426:10.0.0.255"_s},
        {u"NoHere"_s, u"会議:会議中です。:昼食:昼食に出ています"_s},
    };
    for (const auto& [key, value] : messaging)
        store.write(kSection2425, key, value);
}

struct Fixture {
    velmar::testing::TempSettings t;
    SettingsStore& store = *t.store;
    velmar::components::TextgaugeImpl textgauge;
    FakeDialogHost host;
};

TEST(SettingsValues, EveryFieldStoresBackWhatItLoaded)
{
    // Each row: one key set to `stored` on top of the filled store, loaded, committed
    // without an edit, and read back.
    struct Case {
        QString section;
        QString key;
        QString stored;
        QString expected;
    };
    const Case cases[] = {
        // Unchanged values, one per field.
        {kGeneral, u"res_moji"_s, u"＞"_s, u"＞"_s},
        {kGeneral, u"IME"_s, u"0"_s, u"0"_s},
        {kGeneral, u"IME"_s, u"1"_s, u"1"_s},
        {kGeneral, u"BGCOLOR"_s, u"15794175"_s, u"15794175"_s},
        {kGeneral, u"IPMBGCOLOR"_s, u"-2147483643"_s, u"-2147483643"_s},
        {kGeneral, u"FuzaiBGColor"_s, u"12632256"_s, u"12632256"_s},
        {kGeneral, u"DefoBGColor"_s, u"16777215"_s, u"16777215"_s},
        {kGeneral, u"ResColor"_s, u">> 255 >,＞ 32768"_s, u">> 255 >,＞ 32768"_s},
        {kGeneral, u"PASSWORD"_s, u"ひみつ"_s, u"ひみつ"_s},
        {kGeneral, u"ITI_IsSave"_s, u"1"_s, u"1"_s},
        {kSection2425, u"UserName"_s, u"山田 太郎"_s, u"山田 太郎"_s},
        {kSection2425, u"GroupName"_s, u"開発部"_s, u"開発部"_s},
        {kSection2425, u"Retry"_s, u"4"_s, u"4"_s},
        {kSection2425, u"ListSort"_s, u"0"_s, u"0"_s},
        {kSection2425, u"ListSortZyun"_s, u"0"_s, u"0"_s},
        {kSection2425, u"BroadCast"_s, u"2425:192.168.0.255,2426:10.0.0.255"_s,
         u"2425:192.168.0.255,2426:10.0.0.255"_s},
        {kSection2425, u"NoHere"_s, u"会議:会議中です。:昼食:昼食に出ています"_s,
         u"会議:会議中です。:昼食:昼食に出ています"_s},
        // Values the dialog puts into their stored form.
        {kGeneral, u"BGCOLOR"_s, u"NULL"_s, u"-2147483643"_s},
        {kGeneral, u"ResColor"_s, u"NULL"_s, u""_s},
        {kGeneral, u"ResColor"_s, u"> 255 >>"_s, u"> 255"_s},
        {kGeneral, u"ITI_IsSave"_s, u"yes"_s, u"1"_s},
        {kSection2425, u"UserName"_s, u"a:b\tc"_s, u"a;b c"_s},
        {kSection2425, u"Retry"_s, u" 4 "_s, u"4"_s},
        {kSection2425, u"Retry"_s, u"３"_s, u"3"_s},
        {kSection2425, u"Retry"_s, u"abc"_s, u"6"_s},
        {kSection2425, u"Retry"_s, u"600"_s, u"20"_s},
        {kSection2425, u"Retry"_s, u"0"_s, u"1"_s},
        {kGeneral, u"Notify"_s, u"0"_s, u"0"_s},
        {kGeneral, u"Notify"_s, u"1"_s, u"1"_s},
        {kGeneral, u"Notify"_s, u"NULL"_s, u"0"_s},
        {kSection2425, u"ListSort"_s, u"7"_s, u"1"_s},
        {kSection2425, u"BroadCast"_s, u"192.168.0.255"_s, u"2425:192.168.0.255"_s},
        {kSection2425, u"BroadCast"_s, u""_s, u""_s},
        {kSection2425, u"BroadCast"_s, u"NULL"_s, u""_s},
        {kSection2425, u"NoHere"_s, u"a:b:c"_s, u"a:b"_s},
        {kSection2425, u"NoHere"_s, u" a : b "_s, u"a:b"_s},
    };
    // Every write reaches the disk, so rows are run in as few rounds as possible: each
    // round takes the rows whose keys it does not have yet.
    QList<QList<const Case*>> rounds;
    for (const Case& c : cases) {
        auto round = std::find_if(rounds.begin(), rounds.end(), [&](const QList<const Case*>& r) {
            return std::none_of(r.cbegin(), r.cend(),
                                [&](const Case* o) { return o->key == c.key; });
        });
        if (round == rounds.end())
            round = rounds.insert(rounds.end(), {});
        round->append(&c);
    }
    for (const QList<const Case*>& round : std::as_const(rounds)) {
        Fixture f;
        fillStore(f.store);
        for (const Case* c : round)
            f.store.write(c->section, c->key, c->stored);
        const SettingsValues loaded = loadSettings(f.store, f.host);
        EXPECT_EQ(commitSettings(loaded, f.store, f.textgauge, f.host), CommitResult::Stored);
        for (const Case* c : round) {
            EXPECT_EQ(f.store.read(c->section, c->key, u"(absent)"_s), c->expected)
                << c->key.toStdString() << " = " << c->stored.toStdString();
        }
    }
}

TEST(SettingsValues, AnEmptyStoreShowsTheDefaults)
{
    Fixture f;
    const SettingsValues v = loadSettings(f.store, f.host);
    EXPECT_EQ(v.userName, u"NoName");
    EXPECT_EQ(v.groupName, u"NoGroup");
    EXPECT_EQ(v.retry, u"6");
    EXPECT_EQ(v.port, u"2425");
    EXPECT_EQ(v.replyMark, u">");
    EXPECT_EQ(v.sortColumn, 1);
    EXPECT_TRUE(v.autoIme);
    EXPECT_EQ(v.background, WindowBackgroundColour);
    EXPECT_TRUE(v.broadcasts.isEmpty());
    EXPECT_TRUE(v.absences.isEmpty());
}

TEST(SettingsValues, PortChanges)
{
    struct Case {
        const char* name;
        QString portText;
        bool portAtStart;
        bool busy;
        CommitResult result;
        quint16 portAfter;
        QString userNameSection; // where the user name was stored, or empty
        QString startPort;       // "Port" in "IPM" afterwards
    };
    const Case cases[] = {
        {"moves at once, start port kept", u"2426"_s, false, false, CommitResult::Stored, 2426,
         kSection2426, u"(absent)"_s},
        {"moves and becomes the start port", u"2426"_s, true, false, CommitResult::Stored, 2426,
         kSection2426, u"2426"_s},
        {"full-width digits", u"２４２６"_s, false, false, CommitResult::Stored, 2426, kSection2426,
         u"(absent)"_s},
        {"same port", u"2425"_s, true, false, CommitResult::Stored, 2425, kSection2425, u"2425"_s},
        {"port in use", u"2426"_s, true, true, CommitResult::PortRefused, 2425, QString(),
         u"(absent)"_s},
        {"no number", u"abc"_s, true, false, CommitResult::Stored, 2425, QString(), u"(absent)"_s},
        {"port 0", u"0"_s, true, false, CommitResult::Stored, 2425, QString(), u"(absent)"_s},
    };
    for (const Case& c : cases) {
        Fixture f;
        if (c.busy)
            f.host.busyPorts << 2426;
        SettingsValues v = loadSettings(f.store, f.host);
        v.port = c.portText;
        v.portAtStart = c.portAtStart;
        v.userName = u"鈴木"_s;
        v.replyMark = u"|"_s;
        EXPECT_EQ(commitSettings(v, f.store, f.textgauge, f.host), c.result) << c.name;
        EXPECT_EQ(f.host.port, c.portAfter) << c.name;
        EXPECT_EQ(f.store.read(u"IPM"_s, u"Port"_s, u"(absent)"_s), c.startPort) << c.name;
        for (const QString& section : {kSection2425, kSection2426}) {
            const bool expected = section == c.userNameSection;
            EXPECT_EQ(f.store.read(section, u"UserName"_s, {}) == u"鈴木", expected)
                << c.name << " " << section.toStdString();
        }
        // A refused port stores nothing at all and announces nothing; the user corrects
        // the port in the dialog, which stays open.
        const bool stored = c.result == CommitResult::Stored;
        EXPECT_EQ(f.store.read(keys::ReplyMark) == u"|", stored) << c.name;
        EXPECT_EQ(f.host.announcements.size(), stored ? 1 : 0) << c.name;
    }
}

TEST(SettingsValues, AbsenceModeIsAppliedAndAnnounced)
{
    struct Case {
        const char* name;
        QString hostTitle; // absence title before the dialog loads
        QString chosen;    // mode chosen in the dialog ("" = present)
        QString titleAfter;
        QString textAfter;
        QStringList announced; // the title at each announcement, load and "セット"
    };
    const Case cases[] = {
        {"absent", QString(), u"会議"_s, u"会議"_s, u"会議中です。"_s, {u"会議"_s}},
        {"second message", QString(), u"昼食"_s, u"昼食"_s, u"昼食に出ています"_s, {u"昼食"_s}},
        {"present again", u"会議"_s, QString(), QString(), QString(), {QString()}},
        // Peers are told as soon as the absence ends, not only at "セット".
        {"unknown title is cleared at load",
         u"旅行"_s,
         QString(),
         QString(),
         QString(),
         {QString(), QString()}},
    };
    for (const Case& c : cases) {
        Fixture f;
        fillStore(f.store);
        f.host.title = c.hostTitle;
        f.host.text = u"old"_s;
        SettingsValues v = loadSettings(f.store, f.host);
        if (c.hostTitle == u"旅行") {
            EXPECT_EQ(f.host.title, QString()) << c.name;
            EXPECT_EQ(v.absenceTitle, QString()) << c.name;
        }
        v.absenceTitle = c.chosen;
        commitSettings(v, f.store, f.textgauge, f.host);
        EXPECT_EQ(f.host.title, c.titleAfter) << c.name;
        EXPECT_EQ(f.host.text, c.textAfter) << c.name;
        EXPECT_EQ(f.host.announcements, c.announced) << c.name;
    }
}

TEST(SettingsValues, NumberFieldsSayWhatTheyAccept)
{
    struct Case {
        QString text;
        NumberRange range;
        QString refusal; // empty: accepted
    };
    const QString notANumber = u"数字をお願い"_s;
    const QString ports = u"1 から 65535 までの数字をお願い"_s;
    const QString retries = u"1 から 20 までの数字をお願い"_s;
    const Case cases[] = {
        {u"2425"_s, PortRange, QString()},    {u" ６５５３５ "_s, PortRange, QString()},
        {u"1"_s, PortRange, QString()},       {u"0"_s, PortRange, ports},
        {u"65536"_s, PortRange, ports},       {u"70000"_s, PortRange, ports},
        {u"99999999999"_s, PortRange, ports}, {u"-1"_s, PortRange, ports},
        {u"abc"_s, PortRange, notANumber},    {u""_s, PortRange, notANumber},
        {u"24 25"_s, PortRange, notANumber},  {u"20"_s, RetryRange, QString()},
        {u"1"_s, RetryRange, QString()},      {u"0"_s, RetryRange, retries},
        {u"21"_s, RetryRange, retries},       {u"x"_s, RetryRange, notANumber},
    };
    velmar::components::TextgaugeImpl textgauge;
    for (const Case& c : cases) {
        EXPECT_EQ(numberFieldRefusal(c.text, c.range, textgauge).value_or(QString()), c.refusal)
            << c.text.toStdString();
    }
}

TEST(SettingsValues, BroadcastDestinationsAreAddressesOrHostNames)
{
    struct Case {
        QString text;
        bool accepted;
    };
    const Case cases[] = {
        {u"192.168.0.255"_s, true},
        {u"255.255.255.255"_s, true},
        {u"gw"_s, true},
        {u"gw-3.example.jp"_s, true},
        {u"10.0.0.256"_s, false},
        {u"10.0.0"_s, false},
        {u"1.2.3.4.5"_s, false},
        {u"host name"_s, false},
        {u"-gw"_s, false},
        {u"gw..jp"_s, false},
        {u"fe80::1"_s, false},
        {u"サーバー"_s, false},
        {u"a_b"_s, false},
        {u""_s, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isAddressOrHostName(c.text), c.accepted) << c.text.toStdString();
}

TEST(SettingsValues, ListEditorsKeepTheirEntryForms)
{
    QStringList marks;
    EXPECT_EQ(addReplyColour(marks, u">> ,>"_s, 255), EditResult::Added);
    EXPECT_EQ(addReplyColour(marks, u">> ,>"_s, 255), EditResult::Ignored);
    EXPECT_EQ(addReplyColour(marks, u" "_s, 255), EditResult::Ignored);
    EXPECT_EQ(marks, QStringList{u">>,> 255"_s});
    const ReplyColourEntry entry = splitReplyColour(marks.first());
    EXPECT_EQ(entry.marks, u">>,>");
    EXPECT_EQ(entry.colour, 255u);

    QStringList broadcasts;
    EXPECT_EQ(addBroadcast(broadcasts, u"2425"_s, u"192.168.0.255"_s), EditResult::Added);
    EXPECT_EQ(addBroadcast(broadcasts, u"2425"_s, u"192.168.0.255"_s), EditResult::Duplicate);
    EXPECT_EQ(addBroadcast(broadcasts, u"2425"_s, QString()), EditResult::Ignored);
    EXPECT_EQ(addBroadcast(broadcasts, u"2425"_s, u"10.0.0.999"_s), EditResult::BadAddress);
    EXPECT_EQ(broadcasts, QStringList{u"2425:192.168.0.255"_s});
    velmar::components::TextgaugeImpl textgauge;
    const BroadcastEntry taken = splitBroadcast(u" ２４２６：１０.０.０.２５５ "_s, textgauge);
    EXPECT_EQ(taken.port, u"2426"_s);
    EXPECT_EQ(taken.address, u"10.0.0.255");
    EXPECT_EQ(splitBroadcast(u"x:10.0.0.255"_s, textgauge).port, std::nullopt);

    QList<AbsenceMessage> absences;
    EXPECT_EQ(addAbsence(absences, u"外出:午後"_s, u"戻り\t15時"_s), EditResult::Added);
    EXPECT_EQ(addAbsence(absences, u"外出:午後"_s, u"別"_s), EditResult::DuplicateTitle);
    EXPECT_EQ(addAbsence(absences, QString(), u"本文"_s), EditResult::EmptyField);
    EXPECT_EQ(addAbsence(absences, u"題"_s, QString()), EditResult::EmptyField);
    EXPECT_EQ(addAbsence(absences, u"  "_s, u"本文"_s), EditResult::EmptyField);
    // Blanks around the title would make it a different title once stored.
    EXPECT_EQ(addAbsence(absences, u" 外出:午後 "_s, u"別"_s), EditResult::DuplicateTitle);
    ASSERT_EQ(absences.size(), 1);
    EXPECT_EQ(absences.first(), (AbsenceMessage{u"外出;午後"_s, u"戻り 15時"_s}));
}

} // namespace
