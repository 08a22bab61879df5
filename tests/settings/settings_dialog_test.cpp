#include "components/textgauge.h"
#include "platform/chooser_fakes.h"
#include "platform/fakes.h"
#include "platform/file_fakes.h"
#include "settings/fake_dialog_host.h"
#include "settings/keys.h"
#include "settings/settings_dialog.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <functional>
#include <gtest/gtest.h>

using namespace velmar::settings;
using namespace Qt::StringLiterals;
using velmar::settings::testing::FakeDialogHost;

namespace {

struct DialogFixture {
    velmar::testing::TempSettings t;
    velmar::components::TextgaugeImpl textgauge;
    FakeDialogHost host;
    velmar::platform::RecordingMessageBoxes boxes;
    velmar::platform::ScriptedFileDialogs files;
    velmar::platform::ScriptedChoosers choosers;
    QPointer<SettingsDialog> dialog;

    DialogFixture() = default;
    ~DialogFixture() { delete dialog; }

    SettingsDialog& open()
    {
        dialog = new SettingsDialog({*t.store, textgauge, host, boxes, files, choosers});
        dialog->show();
        return *dialog;
    }
    template <typename T> T* find(const char* name) const
    {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* line(const char* name) const { return find<QLineEdit>(name); }
    // Clicks a button; a dialog closed by it is gone afterwards.
    void click(const char* name) const
    {
        find<QPushButton>(name)->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void leave(const char* name) const
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(line(name), &out);
    }
    QStringList listed(const char* name) const
    {
        QStringList out;
        const auto* list = find<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
};

TEST(SettingsDialog, ShowsEveryControlOnItsTab)
{
    DialogFixture f;
    SettingsDialog& dialog = f.open();
    EXPECT_EQ(dialog.objectName(), u"Form3");
    EXPECT_EQ(dialog.windowTitle(), u"設定");
    const auto* tabs = f.find<QTabWidget>("TabStrip1");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->tabText(0), u"IP Messenger 関連");
    EXPECT_EQ(tabs->tabText(1), u"一般");
    EXPECT_EQ(tabs->currentIndex(), 0);

    const char* messaging[] = {
        "Text2", "Text3",    "Text4",    "Check3",   "Label16",     "Text5",  "Text11", "Command3",
        "List1", "Text6(0)", "Text6(1)", "Command8", "MSFlexGrid1", "Combo1", "Combo2", "Check2"};
    const char* general[] = {
        "Text1",     "Check1",   "Command6",  "Command7", "Text8",  "Command9",  "Text10",
        "Text7",     "Command5", "Command4",  "List2",    "Text9",  "Command10", "Label17",
        "Command11", "Text12",   "Command12", "Text13",   "Text14", "Check4",    "Check5"};
    const auto* frame0 = f.find<QWidget>("Frame1(0)");
    const auto* frame1 = f.find<QWidget>("Frame1(1)");
    for (const char* name : messaging) {
        const auto* w = f.find<QWidget>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(frame0->isAncestorOf(w)) << name;
        EXPECT_FALSE(w->toolTip().isEmpty() && qobject_cast<const QLabel*>(w) == nullptr) << name;
    }
    for (const char* name : general) {
        const auto* w = f.find<QWidget>(name);
        ASSERT_NE(w, nullptr) << name;
        EXPECT_TRUE(frame1->isAncestorOf(w)) << name;
    }
    EXPECT_EQ(f.line("Text14")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.find<QPushButton>("Command1")->text(), u"セット");
    EXPECT_EQ(f.find<QPushButton>("Command2")->text(), u"キャンセル");
    // Nothing is cut off: the dialog is at least as large as its layout asks.
    EXPECT_GE(dialog.width(), dialog.minimumSizeHint().width());
    EXPECT_GE(dialog.height(), dialog.minimumSizeHint().height());
}

TEST(SettingsDialog, EditorsAndNumberFieldsTellTheUser)
{
    struct Case {
        const char* name;
        std::function<void(DialogFixture&)> act;
        QString title; // empty: no box
        QString text;
        std::function<void(DialogFixture&)> check;
    };
    const Case cases[] = {
        {"broadcast twice",
         [](DialogFixture& f) {
             f.line("Text5")->setText(u"192.168.0.255"_s);
             f.click("Command3");
             f.click("Command3");
         },
         u"二重登録"_s, u"二重登録になります"_s,
         [](DialogFixture& f) {
             EXPECT_EQ(f.listed("List1"), QStringList{u"2425:192.168.0.255"_s});
         }},
        {"broadcast without address", [](DialogFixture& f) { f.click("Command3"); }, QString(),
         QString(), [](DialogFixture& f) { EXPECT_TRUE(f.listed("List1").isEmpty()); }},
        {"absence without title",
         [](DialogFixture& f) {
             f.line("Text6(0)")->clear();
             f.click("Command8");
         },
         u"警告"_s, u"題か本文が空です"_s,
         [](DialogFixture& f) { EXPECT_EQ(f.find<QTableWidget>("MSFlexGrid1")->rowCount(), 0); }},
        {"absence without text",
         [](DialogFixture& f) {
             f.find<QPlainTextEdit>("Text6(1)")->clear();
             f.click("Command8");
         },
         u"警告"_s, u"題か本文が空です"_s, [](DialogFixture&) {}},
        {"absence title twice",
         [](DialogFixture& f) {
             f.click("Command8");
             f.click("Command8");
         },
         u"警告"_s, u"題が重複しています"_s,
         [](DialogFixture& f) {
             EXPECT_EQ(f.find<QTableWidget>("MSFlexGrid1")->rowCount(), 1);
             EXPECT_EQ(f.find<QComboBox>("Combo1")->count(), 2);
         }},
        {"reply marks twice: silently once",
         [](DialogFixture& f) {
             f.line("Text7")->setText(u">> ,>"_s);
             f.click("Command4");
             f.click("Command4");
         },
         QString(), QString(),
         [](DialogFixture& f) { EXPECT_EQ(f.listed("List2"), QStringList{u">>,> 0"_s}); }},
        {"letters in the resident port",
         [](DialogFixture& f) {
             f.line("Text4")->setText(u"abc"_s);
             f.leave("Text4");
         },
         u"警告"_s, u"数字をお願い"_s,
         [](DialogFixture& f) {
             EXPECT_EQ(f.line("Text4")->text(), u"2425");
             EXPECT_EQ(f.line("Text11")->text(), u"2425");
         }},
        {"resident port 0",
         [](DialogFixture& f) {
             f.line("Text4")->setText(u"0"_s);
             f.leave("Text4");
         },
         u"警告"_s, u"1 から 65535 までの数字をお願い"_s,
         [](DialogFixture& f) { EXPECT_EQ(f.line("Text4")->text(), u"2425"); }},
        {"retry count 0 would announce nothing",
         [](DialogFixture& f) {
             f.line("Text9")->setText(u"0"_s);
             f.leave("Text9");
         },
         u"警告"_s, u"1 から 20 までの数字をお願い"_s,
         [](DialogFixture& f) { EXPECT_EQ(f.line("Text9")->text(), u"6"); }},
        {"broadcast address that is no address",
         [](DialogFixture& f) {
             f.line("Text5")->setText(u"192.168.0.256"_s);
             f.click("Command3");
         },
         u"警告"_s, u"「192.168.0.256」はアドレスでもホスト名でもありません"_s,
         [](DialogFixture& f) { EXPECT_TRUE(f.listed("List1").isEmpty()); }},
        {"a good resident port is copied to the broadcast port",
         [](DialogFixture& f) {
             f.line("Text4")->setText(u"2426"_s);
             f.leave("Text4");
         },
         QString(), QString(),
         [](DialogFixture& f) { EXPECT_EQ(f.line("Text11")->text(), u"2426"); }},
        {"letters in the broadcast port",
         [](DialogFixture& f) {
             f.line("Text11")->setText(u"x"_s);
             f.leave("Text11");
         },
         u"警告"_s, u"数字をお願い"_s,
         [](DialogFixture& f) { EXPECT_EQ(f.line("Text11")->text(), u"2425"); }},
        {"letters in the retry count",
         [](DialogFixture& f) {
             f.line("Text9")->setText(u"abc"_s);
             f.leave("Text9");
         },
         u"警告"_s, u"数字をお願い"_s,
         [](DialogFixture& f) { EXPECT_EQ(f.line("Text9")->text(), u"6"); }},
    };
    for (const Case& c : cases) {
        DialogFixture f;
        f.open();
        c.act(f);
        if (c.title.isEmpty()) {
            EXPECT_TRUE(f.boxes.boxes.isEmpty()) << c.name;
        } else {
            ASSERT_EQ(f.boxes.boxes.size(), 1) << c.name;
            EXPECT_EQ(f.boxes.boxes.first().title, c.title) << c.name;
            EXPECT_EQ(f.boxes.boxes.first().text, c.text) << c.name;
        }
        c.check(f);
    }
}

TEST(SettingsDialog, SetStoresTheEditedListsAndCloses)
{
    DialogFixture f;
    f.t.store->write(keys::BroadcastList, u"192.168.0.255"_s);
    f.open();
    EXPECT_EQ(f.listed("List1"), QStringList{u"2425:192.168.0.255"_s});

    // An absence message with a colon and a TAB; the mode box offers it as stored.
    f.line("Text6(0)")->setText(u"外出:午後"_s);
    f.find<QPlainTextEdit>("Text6(1)")->setPlainText(u"戻りは\t15時です\n"_s);
    f.click("Command8");
    auto* grid = f.find<QTableWidget>("MSFlexGrid1");
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(grid->item(0, 0)->text(), u"外出;午後");
    auto* mode = f.find<QComboBox>("Combo1");
    mode->setCurrentIndex(1);

    // Reply marks in a chosen colour, and a background.
    f.choosers.colourAnswers = {QColor(0, 0, 255), QColor(0xF0, 0xF8, 0xFF)};
    f.line("Text7")->setText(u">"_s);
    f.click("Command5");
    f.click("Command4");
    f.click("Command7");
    EXPECT_EQ(f.line("Text7")->palette().color(QPalette::Base), QColor(0xF0, 0xF8, 0xFF));
    f.line("Text2")->setText(u"山田:太郎"_s);

    f.click("Command1");
    EXPECT_TRUE(f.dialog.isNull());
    SettingsStore& store = *f.t.store;
    EXPECT_EQ(store.read(keys::ReplyColours), u"> 16711680");
    EXPECT_EQ(store.read(keys::BackgroundColour), QString::number(0xFFF8F0));
    EXPECT_EQ(store.read(keys::BroadcastList), u"2425:192.168.0.255");
    EXPECT_EQ(store.read(keys::AbsenceMessages), u"外出;午後:戻りは 15時です");
    EXPECT_EQ(store.read(keys::UserName), u"山田;太郎");
    EXPECT_EQ(f.host.title, u"外出;午後");
    EXPECT_EQ(f.host.text, u"戻りは 15時です");
    EXPECT_EQ(f.host.announcements, QStringList{u"外出;午後"_s});
    EXPECT_EQ(f.host.reapplied, 1);
}

TEST(SettingsDialog, DoubleClicksTakeEntriesBackForCorrection)
{
    DialogFixture f;
    f.t.store->write(keys::ReplyColours, u">> 255"_s);
    f.t.store->write(keys::BroadcastList, u"2426:10.0.0.255"_s);
    f.t.store->write(keys::AbsenceMessages, u"会議:会議中です。"_s);
    f.open();

    auto* marks = f.find<QListWidget>("List2");
    Q_EMIT marks->itemDoubleClicked(marks->item(0));
    EXPECT_EQ(f.line("Text7")->text(), u">>");
    EXPECT_EQ(f.line("Text7")->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_EQ(marks->count(), 0);

    auto* broadcasts = f.find<QListWidget>("List1");
    Q_EMIT broadcasts->itemDoubleClicked(broadcasts->item(0));
    EXPECT_EQ(f.line("Text11")->text(), u"2426");
    EXPECT_EQ(f.line("Text5")->text(), u"10.0.0.255");
    EXPECT_EQ(broadcasts->count(), 0);

    auto* grid = f.find<QTableWidget>("MSFlexGrid1");
    Q_EMIT grid->cellDoubleClicked(0, 1);
    EXPECT_EQ(grid->rowCount(), 0);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), u"題");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), u"内容");
    EXPECT_EQ(f.line("Text6(0)")->text(), u"会議");
    EXPECT_EQ(f.find<QPlainTextEdit>("Text6(1)")->toPlainText(), u"会議中です。");
    EXPECT_EQ(f.find<QComboBox>("Combo1")->count(), 1);
}

TEST(SettingsDialog, TheChosenAbsenceStaysChosenThroughEditingAndReopening)
{
    enum class Edit { TakeAndAddAgain, TakeOnly, NewTitleWithBlanks };
    struct Case {
        const char* name;
        Edit edit;
        QString titleAfter;
        QString textAfter;
    };
    const Case cases[] = {
        // The neighbour ("昼食") must not become the mode while "会議" is out for editing.
        {"edited and added again", Edit::TakeAndAddAgain, u"会議"_s, u"14時まで会議中です。"_s},
        {"taken out and not added again", Edit::TakeOnly, QString(), QString()},
        // What is chosen is what is stored, so the next load finds it again.
        {"title typed with blanks", Edit::NewTitleWithBlanks, u"外出"_s, u"すぐ戻ります"_s},
    };
    for (const Case& c : cases) {
        DialogFixture f;
        f.t.store->write(keys::AbsenceMessages, u"会議:会議中です。:昼食:昼食に出ています"_s);
        f.host.title = u"会議"_s;
        f.host.text = u"会議中です。"_s;
        f.open();
        auto* mode = f.find<QComboBox>("Combo1");
        ASSERT_EQ(mode->currentText(), u"会議") << c.name;
        switch (c.edit) {
        case Edit::TakeAndAddAgain:
            Q_EMIT f.find<QTableWidget>("MSFlexGrid1")->cellDoubleClicked(0, 0);
            EXPECT_EQ(mode->currentIndex(), 0) << c.name;
            f.find<QPlainTextEdit>("Text6(1)")->setPlainText(u"14時まで会議中です。\n"_s);
            f.click("Command8");
            break;
        case Edit::TakeOnly:
            Q_EMIT f.find<QTableWidget>("MSFlexGrid1")->cellDoubleClicked(0, 0);
            break;
        case Edit::NewTitleWithBlanks:
            f.line("Text6(0)")->setText(u" 外出 "_s);
            f.find<QPlainTextEdit>("Text6(1)")->setPlainText(u"すぐ戻ります\n"_s);
            f.click("Command8");
            mode->setCurrentIndex(mode->count() - 1);
            break;
        }
        f.click("Command1");
        EXPECT_EQ(f.host.title, c.titleAfter) << c.name;
        EXPECT_EQ(f.host.text, c.textAfter) << c.name;
        EXPECT_EQ(f.host.announcements, QStringList{c.titleAfter}) << c.name;

        // Opening the dialog again keeps the absence as it is, and says nothing.
        f.open();
        EXPECT_EQ(f.find<QComboBox>("Combo1")->currentText(),
                  c.titleAfter.isEmpty() ? u"不在じゃないよ"_s : c.titleAfter)
            << c.name;
        EXPECT_EQ(f.host.title, c.titleAfter) << c.name;
        EXPECT_EQ(f.host.announcements.size(), 1) << c.name;
    }
}

TEST(SettingsDialog, APortInUseIsRefusedAndTheDialogStays)
{
    DialogFixture f;
    f.host.busyPorts << 2426;
    f.open();
    f.line("Text4")->setText(u"2426"_s);
    f.line("Text1")->setText(u"|"_s);
    f.click("Command1");
    ASSERT_FALSE(f.dialog.isNull());
    ASSERT_EQ(f.boxes.boxes.size(), 1);
    EXPECT_EQ(f.boxes.boxes.first().title, u"エラー");
    EXPECT_TRUE(f.boxes.boxes.first().text.contains(u"2426"));
    EXPECT_EQ(f.host.port, 2425);
    EXPECT_EQ(f.t.store->read(keys::ReplyMark), u">");
    EXPECT_TRUE(f.host.announcements.isEmpty());
}

TEST(SettingsDialog, CancelStoresNothingButFontAndSoundAreStoredAtOnce)
{
    DialogFixture f;
    f.open();
    velmar::platform::FontChoice font;
    font.family = u"Noto Sans CJK JP"_s;
    font.pointSize = 12;
    font.bold = true;
    font.colour = QColor(0, 0, 128);
    f.choosers.fontAnswers = {font, std::nullopt};
    f.click("Command6");
    f.click("Command6"); // cancelled: the stored font stays
    ASSERT_EQ(f.choosers.fontInitials.size(), 2);
    EXPECT_EQ(f.choosers.fontInitials[1], font);
    f.files.openAnswers = {u"/usr/share/sounds/chime.wav"_s};
    f.click("Command10");
    EXPECT_EQ(f.files.openFilters, QStringList{u"ｻｳﾝﾄﾞ(*.wav)|*.wav"_s});
    EXPECT_EQ(f.find<QLabel>("Label17")->toolTip(), u"/usr/share/sounds/chime.wav");

    f.line("Text1")->setText(u"|"_s);
    f.click("Command2");
    EXPECT_TRUE(f.dialog.isNull());
    SettingsStore& store = *f.t.store;
    EXPECT_EQ(store.read(keys::ReplyMark), u">");
    EXPECT_EQ(store.read(keys::FontName), u"Noto Sans CJK JP");
    EXPECT_EQ(store.read(keys::FontBold), u"True");
    EXPECT_EQ(store.read(keys::FontItalic), u"False");
    EXPECT_EQ(store.read(keys::FontSize), u"12");
    EXPECT_EQ(store.read(keys::FontColour), QString::number(0x800000));
    EXPECT_EQ(store.read(keys::SoundFile), u"/usr/share/sounds/chime.wav");
    EXPECT_TRUE(f.host.announcements.isEmpty());

    // A cancelled sound dialog turns the sound off.
    f.open();
    f.click("Command10");
    EXPECT_EQ(store.read(keys::SoundFile), u"");
}

TEST(SettingsDialog, ActivationAndTheSoundComponent)
{
    DialogFixture f;
    f.host.sound = false;
    f.t.store->write(keys::SoundFile, u"/tmp/a.wav"_s);
    SettingsDialog& dialog = f.open();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_EQ(f.host.activations, 1);
    EXPECT_FALSE(f.find<QPushButton>("Command10")->isEnabled());
    EXPECT_FALSE(f.find<QLabel>("Label17")->isVisible());
    EXPECT_EQ(f.find<QLabel>("Label17")->toolTip(), u"");
}

} // namespace
