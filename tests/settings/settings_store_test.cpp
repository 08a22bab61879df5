#include "settings/keys.h"
#include "support/temp_settings.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmar::settings;

namespace {

TEST(SettingsStore, EmptyStoreGivesEveryReaderItsDefault)
{
    velmar::testing::TempSettings t;
    EXPECT_EQ(t.store->read(keys::Port), u"2425");
    EXPECT_EQ(t.store->read(keys::UserName), u"NoName");
    EXPECT_EQ(t.store->read(keys::GroupName), u"NoGroup");
    EXPECT_EQ(t.store->read(keys::Retry), u"6");
    EXPECT_EQ(t.store->read(keys::ReplyMark), u">");
    EXPECT_EQ(t.store->read(keys::FontName, QStringLiteral("custom")), u"custom");
}

TEST(SettingsStore, SectionsAreSeparateAndThePortSectionFollowsThePort)
{
    velmar::testing::TempSettings t;
    quint16 port = 2425;
    t.store->setPortSource([&port] { return port; });
    t.store->write(keys::UserName, QStringLiteral("山田"));
    t.store->write(keys::Port, QStringLiteral("2426"));
    EXPECT_EQ(t.store->sectionName(Section::IpmPort), u"IPM\\2425");
    EXPECT_EQ(t.store->read(QStringLiteral("IPM\\2425"), QStringLiteral("UserName"), {}), u"山田");

    port = 2426;
    EXPECT_EQ(t.store->read(keys::UserName), u"NoName");
    t.store->write(keys::UserName, QStringLiteral("鈴木"));
    port = 2425;
    EXPECT_EQ(t.store->read(keys::UserName), u"山田");
    EXPECT_EQ(t.store->read(QStringLiteral("general"), QStringLiteral("Port"), QStringLiteral("x")),
              u"x");
}

TEST(SettingsStore, WritesAreOnDiskAtOnceAndPrivate)
{
    velmar::testing::TempSettings t;
    t.store->write(keys::Password, QStringLiteral("secret"));
    const QString path = t.store->filePath();
    // A second store on the same file sees the value without any explicit flush.
    SettingsStore other(path);
    EXPECT_EQ(other.read(keys::Password), u"secret");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("[General]\nPASSWORD=secret")) << bytes.constData();
    EXPECT_EQ(QFileInfo(path).permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
}

TEST(SettingsStore, AFileOthersCanReadIsMadePrivateAgain)
{
    // A file restored from a backup or copied in by hand, with the password in it.
    for (const bool changedWhileRunning : {false, true}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Velmar5.ini"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nPASSWORD=secret\n");
        file.close();
        const auto share = [&file] {
            ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                            QFile::ReadGroup | QFile::ReadOther));
        };
        if (!changedWhileRunning)
            share();
        SettingsStore store(path);
        if (changedWhileRunning)
            share();
        store.write(keys::ReplyMark, QStringLiteral("|"));
        EXPECT_EQ(QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
                  QFile::ReadOwner | QFile::WriteOwner)
            << changedWhileRunning;
        EXPECT_EQ(store.read(keys::Password), u"secret");
    }
}

TEST(SettingsStore, HandEditedOddValuesReadBackAsTheyAre)
{
    velmar::testing::TempSettings t;
    const QString path = t.store->filePath();
    t.store.reset();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray longValue(5000, 'x');
    file.write("[general]\nITI=10,20,30,40\nITI_Mode=abc\nres_moji=\"> \"\nUnknownKey=1\n"
               "FontName=" +
               longValue + "\n[IPM]\nPort=not a number\n");
    file.close();

    SettingsStore store(path);
    EXPECT_EQ(store.read(keys::Placement), u"10,20,30,40");
    EXPECT_EQ(store.read(keys::StartMode), u"abc");
    EXPECT_EQ(store.read(keys::ReplyMark), u"> ");
    EXPECT_EQ(store.read(keys::FontName).size(), 5000);
    EXPECT_EQ(store.read(keys::Port), u"not a number");
}

TEST(SettingsStore, ValuesWithSeparatorsRoundTrip)
{
    velmar::testing::TempSettings t;
    const QString values[] = {QStringLiteral(">> 255 >,| 32768"),
                              QStringLiteral("a:b:"),
                              QStringLiteral("2425:10.0.0.255,2426:10.0.1.255"),
                              QStringLiteral("@Variant(x)"),
                              QStringLiteral(" lead"),
                              QStringLiteral("-2147483643"),
                              QString()};
    for (const QString& value : values) {
        t.store->write(keys::ReplyColours, value);
        SettingsStore reread(t.store->filePath());
        EXPECT_EQ(reread.read(keys::ReplyColours), value);
    }
}

TEST(SettingsStore, UnsetSentinelIgnoresCase)
{
    EXPECT_TRUE(isUnset(QStringLiteral("NULL")));
    EXPECT_TRUE(isUnset(QStringLiteral("null")));
    EXPECT_FALSE(isUnset(QStringLiteral("NULL ")));
    EXPECT_FALSE(isUnset(QString()));
}

} // namespace
