#include "components/textgauge.h"
#include "ipmsg/messenger.h"
#include "ipmsg/packet.h"
#include "ipmsg/ui/user_list_dialog.h"
#include "platform/fakes.h"
#include "settings/keys.h"
#include "support/fake_messenger_host.h"
#include "support/temp_settings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace velmar::ipmsg {
namespace {

namespace keys = settings::keys;

class UserListDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.bindEndpoint(); // the port names the settings section
        settings.store->write(keys::Retry, QStringLiteral("1"));
        newForm();
    }

    void TearDown() override { delete form.data(); }

    // What the main window does at the first use and after the close box.
    void newForm()
    {
        form = new UserListDialog(engine, [this] { return endmode; });
        engine.load();
    }

    template <typename T> T* child(const char* name) const
    {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void addPeer(const QString& name, const QString& ip, quint16 port,
                 const QString& group = QStringLiteral("G"))
    {
        endpoint.inject(toWire(QStringLiteral("1:100:user:host:3:") + name + QChar(0) + group), ip,
                        port);
    }

    // The command fields of the datagrams sent to `address`.
    QStringList commandsTo(const QString& address) const
    {
        QStringList commands;
        for (const auto& datagram : endpoint.sent) {
            if (datagram.host == address)
                commands.append(fromWire(datagram.data).split(u':').value(4));
        }
        return commands;
    }

    void openWithText(const QString& text, const QString& remoteIp = {}, qint32 remotePort = 0)
    {
        engine.sendActiveText(text, remoteIp, remotePort);
        ASSERT_TRUE(form->isVisible());
    }

    // What the platform delivers for a double click; QTest::mouseDClick on a widget
    // sends the double-click event alone, which item viewClipboard ignore without the press.
    static void doubleClick(QWidget* widget, QPoint pos)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
        QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
    }

    void doubleClickPeer(int row)
    {
        auto* grid = child<QTableView>("MSFlexGrid1");
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        ASSERT_TRUE(cell.isValid());
        doubleClick(grid->viewport(), cell.center());
    }

    void releaseOnSend(Qt::MouseButton button)
    {
        auto* send = child<QPushButton>("Command2");
        QTest::mousePress(send, button, {}, send->rect().center());
        QTest::mouseRelease(send, button, {}, send->rect().center());
    }

    testing::TempSettings settings;
    platform::FakeUdpEndpoint endpoint;
    components::TextgaugeImpl textgauge;
    platform::RecordingMessageBoxes boxes;
    ::velmar::testing::FakeMessengerHost host;
    Messenger engine{endpoint, *settings.store, textgauge, boxes, host};
    bool endmode = false;
    QPointer<UserListDialog> form;
};

TEST_F(UserListDialogTest, ControlsCarryTheirCaptionsAndTips)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("送信画面"));
    EXPECT_TRUE(form->property("velmarForm").toBool());
    EXPECT_EQ(child<QGroupBox>("Frame1")->title(), QStringLiteral("ソート"));
    EXPECT_EQ(child<QGroupBox>("Frame1")->toolTip(), QStringLiteral("ユーザーリストのソートです"));

    struct Expect {
        const char* name;
        QString text;
        QString tip;
    };
    const QString sortTip = QStringLiteral("ユーザーでソートします");
    const QString sendingTip = QStringLiteral("送信中です。少々お待ちを...");
    const Expect expected[] = {
        {"Option1_0", QStringLiteral("ユーザー"), sortTip},
        {"Option1_1", QStringLiteral("グループ"), sortTip},
        {"Option1_2", QStringLiteral("IP アドレス"), sortTip},
        {"Option1_3", QStringLiteral("ポート"), sortTip},
        {"Check3", QStringLiteral("昇順"), QStringLiteral("チェックで昇順です")},
        {"Check1", QStringLiteral("封書"), QStringLiteral("送信時、未対応です")},
        {"Check2", QStringLiteral("施錠"), QStringLiteral("送信時、未対応です")},
        {"Command1", QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("送信をキャンセルします。")},
        {"Command2", QStringLiteral("送信"),
         QStringLiteral("アクティブになっていた文章を送信します")},
        {"Command3", QStringLiteral("更新"), QStringLiteral("リストを更新します。")},
        {"Label1", QStringLiteral("送信中"), sendingTip},
        {"Label2", QStringLiteral("送信先"), QString()},
        {"Label3", QStringLiteral("送信可能リスト"), QString()},
        {"Label4", QStringLiteral("送信内容"), QString()},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.name);
        QWidget* widget = child<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->property("text").toString(), e.text);
        EXPECT_EQ(widget->toolTip(), e.tip);
    }
    EXPECT_EQ(child<QProgressBar>("ProgressBar1")->toolTip(), sendingTip);
    EXPECT_EQ(child<QListWidget>("List1")->toolTip(),
              QStringLiteral("送信先リストです。自分宛てには送れない仕様です"));

    auto* grid = child<QTableView>("MSFlexGrid1");
    EXPECT_EQ(grid->toolTip(), QStringLiteral("リストの一覧です。"));
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(form));
    EXPECT_TRUE(grid->horizontalHeader()->isVisibleTo(form));
    QStringList header;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        header.append(grid->model()->headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(header.join(u'|'), QStringLiteral("名前|グループ|IP アドレス|ポート"));
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(UserListDialogTest, DoubleClicksChooseAPeerOnceAndRemoveADestination)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    addPeer(QStringLiteral("Bob"), QStringLiteral("10.77.0.6"), 2425);
    openWithText(QStringLiteral("hello"));

    doubleClickPeer(1);
    doubleClickPeer(1);
    doubleClickPeer(0);
    auto* list = child<QListWidget>("List1");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Bob"));
    EXPECT_EQ(engine.state().destinationEntries(),
              QStringList({QStringLiteral("2425:10.77.0.6"), QStringLiteral("2425:10.77.0.5")}));

    doubleClick(list->viewport(), list->visualItemRect(list->item(0)).center());
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Alice"));
    EXPECT_EQ(engine.state().destinationEntries(), QStringList{QStringLiteral("2425:10.77.0.5")});
}

TEST_F(UserListDialogTest, LockIsOnlyAvailableOnASealedMessage)
{
    auto* check1 = child<QCheckBox>("Check1");
    auto* check2 = child<QCheckBox>("Check2");
    EXPECT_EQ(check2->checkState(), Qt::PartiallyChecked);

    QTest::mouseClick(check2, Qt::LeftButton, {}, check2->rect().center());
    EXPECT_EQ(check2->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(engine.state().lockState(), LockState::Unavailable);

    QTest::mouseClick(check1, Qt::LeftButton, {}, check1->rect().center());
    EXPECT_EQ(check1->checkState(), Qt::Checked);
    EXPECT_EQ(check2->checkState(), Qt::Unchecked);
    QTest::mouseClick(check2, Qt::LeftButton, {}, check2->rect().center());
    EXPECT_EQ(check2->checkState(), Qt::Checked);
    QTest::mouseClick(check2, Qt::LeftButton, {}, check2->rect().center());
    EXPECT_EQ(check2->checkState(), Qt::Unchecked);
    QTest::mouseClick(check2, Qt::LeftButton, {}, check2->rect().center());
    EXPECT_EQ(engine.state().lockState(), LockState::Locked);

    QTest::mouseClick(check1, Qt::LeftButton, {}, check1->rect().center());
    EXPECT_EQ(check2->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(engine.state().sealedState(), SealedState::Open);
    EXPECT_EQ(engine.state().lockState(), LockState::Unavailable);
}

TEST_F(UserListDialogTest, LeftReleaseSendsTheMessageAndShowsTheSendingLook)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    doubleClickPeer(0);

    const char* disabled[] = {"Frame1",      "Check1",    "Check2",   "Check3",
                              "Command1",    "Command2",  "Command3", "List1",
                              "MSFlexGrid1", "Option1_0", "Option1_3"};
    for (const char* name : disabled)
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(child<QLabel>("Label1")->isVisible());
    EXPECT_FALSE(child<QProgressBar>("ProgressBar1")->isVisible());

    releaseOnSend(Qt::LeftButton);
    EXPECT_EQ(commandsTo(QStringLiteral("10.77.0.5")), QStringList{QStringLiteral("288")});
    for (const char* name : disabled)
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(child<QLabel>("Label1")->isVisible());
    auto* progress = child<QProgressBar>("ProgressBar1");
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->maximum(), 1);
    EXPECT_EQ(progress->value(), 0);

    // The receipt, then the retry timer's tick: the send is complete.
    const QString number = splitPacket(engine.sendJob().packetText())->packetNo;
    endpoint.inject(toWire(QStringLiteral("1:200:user:host:33:") + number),
                    QStringLiteral("10.77.0.5"), 2425);
    engine.tick();
    EXPECT_EQ(host.sentMarks, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(child<QListWidget>("List1")->count(), 0);
    for (const char* name : disabled)
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(child<QLabel>("Label1")->isVisibleTo(form));
    EXPECT_FALSE(progress->isVisibleTo(form));
}

TEST_F(UserListDialogTest, SealedAndLockedMessageCarriesBothOptions)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("secret"));
    doubleClickPeer(0);
    auto* check1 = child<QCheckBox>("Check1");
    auto* check2 = child<QCheckBox>("Check2");
    QTest::mouseClick(check1, Qt::LeftButton, {}, check1->rect().center());
    QTest::mouseClick(check2, Qt::LeftButton, {}, check2->rect().center());

    releaseOnSend(Qt::LeftButton);
    EXPECT_EQ(commandsTo(QStringLiteral("10.77.0.5")), QStringList{QStringLiteral("1082144")});
}

TEST_F(UserListDialogTest, OnlyAReleaseOfAPressOverSendActs)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    doubleClickPeer(0);
    auto* send = child<QPushButton>("Command2");
    // The keyboard sends too (TheKeyboardWorksLikeTheMouse). Pressed on the button, released away
    // from it; released without a press.
    QTest::mousePress(send, Qt::LeftButton, {}, send->rect().center());
    QTest::mouseRelease(send, Qt::LeftButton, {}, send->rect().bottomRight() + QPoint(20, 20));
    QTest::mouseRelease(send, Qt::RightButton, {}, send->rect().center());
    EXPECT_TRUE(commandsTo(QStringLiteral("10.77.0.5")).isEmpty());
    EXPECT_TRUE(send->isEnabled());

    // Another button asks the destination for its version instead, and the
    // controls stay enabled.
    releaseOnSend(Qt::RightButton);
    EXPECT_EQ(commandsTo(QStringLiteral("10.77.0.5")), QStringList{QStringLiteral("576")});
    EXPECT_TRUE(send->isEnabled());
    EXPECT_FALSE(form->isVisible());
}

TEST_F(UserListDialogTest, SendingToNobodyAsksWhoAndSendsNothing)
{
    openWithText(QStringLiteral("hello"));
    releaseOnSend(Qt::LeftButton);
    ASSERT_EQ(boxes.boxes.size(), 1);
    EXPECT_EQ(boxes.boxes.at(0).title, QStringLiteral("はてな?"));
    EXPECT_TRUE(child<QPushButton>("Command2")->isEnabled());
    EXPECT_FALSE(child<QLabel>("Label1")->isVisible());
}

// The order itself is the engine's (Dialog.SortsByPortAsNumbersAndByAddressAsText).
TEST_F(UserListDialogTest, SortClicksReachTheEngineAndTheOptionsFollowIt)
{
    openWithText(QStringLiteral("hello"));
    // The stored default: by group, descending.
    EXPECT_TRUE(child<QRadioButton>("Option1_1")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("Check3")->isChecked());

    auto* port = child<QRadioButton>("Option1_3");
    QTest::mouseClick(port, Qt::LeftButton, {}, port->rect().center());
    EXPECT_EQ(engine.state().sortColumn(), SortColumn::Port);
    EXPECT_FALSE(child<QRadioButton>("Option1_1")->isChecked());

    auto* ascending = child<QCheckBox>("Check3");
    QTest::mouseClick(ascending, Qt::LeftButton, {}, ascending->rect().center());
    EXPECT_TRUE(engine.state().sortAscending());
}

TEST_F(UserListDialogTest, StoredOrderOutsideTheOptionsSelectsNone)
{
    delete form.data();
    engine.close(false);
    settings.store->write(keys::ListSort, QStringLiteral("7"));
    newForm();
    for (const char* name : {"Option1_0", "Option1_1", "Option1_2", "Option1_3"})
        EXPECT_FALSE(child<QRadioButton>(name)->isChecked()) << name;
}

// Which destination is preselected is the engine's (Dialog.ActivationPreselectsTheReplyTargetOnce).
TEST_F(UserListDialogTest, ActivationReachesTheEngineAndTheListFollows)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("re: hello"), QStringLiteral("10.77.0.5"), 2425);
    host.skipRequested = false;
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form, &activate);
    EXPECT_TRUE(host.skipRequested);
    ASSERT_EQ(child<QListWidget>("List1")->count(), 1);
    EXPECT_EQ(child<QListWidget>("List1")->item(0)->text(), QStringLiteral("Alice"));
}

TEST_F(UserListDialogTest, TextBoxEditsTheTextToSendWithCrLf)
{
    openWithText(QStringLiteral("one\r\ntwo"));
    auto* text = child<QPlainTextEdit>("RichTextBox1");
    EXPECT_EQ(text->toPlainText(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(engine.state().textToSend(), QStringLiteral("one\r\ntwo")); // untouched, unchanged

    text->moveCursor(QTextCursor::End);
    QTest::keyClick(text, Qt::Key_Return);
    QTest::keyClicks(text, QStringLiteral("3"));
    EXPECT_EQ(engine.state().textToSend(), QStringLiteral("one\r\ntwo\r\n3"));
}

TEST_F(UserListDialogTest, CancelAndRefreshButtons)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    doubleClickPeer(0);
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(child<QListWidget>("List1")->count(), 0);
    EXPECT_EQ(engine.peers()->rowCount(), 1);

    endpoint.sent.clear();
    QTest::mouseClick(child<QPushButton>("Command3"), Qt::LeftButton);
    EXPECT_EQ(engine.peers()->rowCount(), 0);
    EXPECT_EQ(commandsTo(QStringLiteral("255.255.255.255")),
              QStringList{QStringLiteral("16777217")});
}

TEST_F(UserListDialogTest, CloseBoxDiscardsTheDialogAndTheNextOneAnnouncesAgain)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    doubleClickPeer(0);
    releaseOnSend(Qt::LeftButton);
    host.skipRequested = false;

    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(host.skipRequested);
    EXPECT_TRUE(engine.state().formEnabled());
    EXPECT_FALSE(engine.retryTimer().isActive());

    endpoint.sent.clear();
    newForm();
    EXPECT_EQ(commandsTo(QStringLiteral("255.255.255.255")),
              QStringList{QStringLiteral("16777217")});
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(child<QPushButton>("Command2")->isEnabled());

    // While the program ends, closing leaves the main window's state alone.
    endmode = true;
    host.skipRequested = false;
    form->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_FALSE(host.skipRequested);
}

TEST_F(UserListDialogTest, ControlsFitTheWindowWithoutOverlapping)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    doubleClickPeer(0);
    releaseOnSend(Qt::LeftButton); // the sending look shows every control
    EXPECT_EQ(form->size(), UserListDialog::designSize());
    EXPECT_EQ(form->minimumSize(), UserListDialog::designSize());

    for (const QSize size : {UserListDialog::designSize(), QSize(640, 520)}) {
        form->resize(size);
        const QList<QWidget*> controls =
            form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget* a : controls) {
            SCOPED_TRACE(a->objectName().toStdString());
            EXPECT_TRUE(form->rect().contains(a->geometry())) << a->geometry().x();
            EXPECT_GE(a->width(), a->minimumSizeHint().width());
            for (QWidget* b : controls) {
                if (a == b)
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << b->objectName().toStdString();
            }
        }
        EXPECT_GE(child<QPlainTextEdit>("RichTextBox1")->height(),
                  2 * form->fontMetrics().height());
    }
}

TEST_F(UserListDialogTest, TheKeyboardWorksLikeTheMouse)
{
    addPeer(QStringLiteral("Alice"), QStringLiteral("10.77.0.5"), 2425);
    openWithText(QStringLiteral("hello"));
    auto* grid = child<QTableView>("MSFlexGrid1");
    auto* list = child<QListWidget>("List1");
    auto* send = child<QPushButton>("Command2");
    const struct {
        const char* what;
        QWidget* target;
        Qt::Key key;
        int destinations;
        int messagesSent;
        bool visible;
    } steps[] = {
        {"Return on a peer chooses it", grid, Qt::Key_Return, 1, 0, true},
        {"Return on a destination removes it", list, Qt::Key_Return, 0, 0, true},
        {"Return on a peer again", grid, Qt::Key_Return, 1, 0, true},
        {"Return on 送信 sends", send, Qt::Key_Return, 1, 1, true},
        {"Esc cancels", form.data(), Qt::Key_Escape, 0, 1, false},
    };
    grid->setCurrentIndex(grid->model()->index(0, 0));
    endpoint.sent.clear();
    for (const auto& step : steps) {
        if (step.target == list)
            list->setCurrentRow(0);
        if (step.key == Qt::Key_Escape) {
            engine.sendJob().stop();
            engine.state().setFormEnabled(true);
        }
        QTest::keyClick(step.target, step.key);
        EXPECT_EQ(engine.state().destinations().size(), step.destinations) << step.what;
        EXPECT_EQ(commandsTo(QStringLiteral("10.77.0.5")).count(QStringLiteral("288")),
                  step.messagesSent)
            << step.what;
        EXPECT_EQ(form->isVisible(), step.visible) << step.what;
    }
}

} // namespace
} // namespace velmar::ipmsg
