#include "settings/history_settings_box.h"
#include "settings/settings_dialog.h"
#include "settings/settings_dialog_widgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

// The building of the settings dialog's two tabs: their controls, layouts and
// connections.

namespace velmar::settings {

using namespace detail;

void SettingsDialog::buildMessagingTab(QWidget* page)
{
    m_messagingFrame =
        new QGroupBox(QStringLiteral("IP Messenger 関連( \":\" \",\" は使えません)"), page);
    m_messagingFrame->setObjectName(QStringLiteral("Frame1(0)"));
    m_messagingFrame->setToolTip(QStringLiteral("IP Messenger に対し、若干互換性があります"));
    (new QVBoxLayout(page))->addWidget(m_messagingFrame);
    QWidget* f = m_messagingFrame;
    auto* grid = new QGridLayout(f);

    // Who and where.
    grid->addWidget(label(f, "Label5", QStringLiteral("ユーザー名")), 0, 0);
    m_userName = lineEdit(f, "Text2", QStringLiteral("ユーザー名です。"));
    grid->addWidget(m_userName, 0, 1, 1, 2);
    grid->addWidget(label(f, "Label7", QStringLiteral("グループ名")), 1, 0);
    m_groupName = lineEdit(f, "Text3", QStringLiteral("グループ名です。"));
    grid->addWidget(m_groupName, 1, 1, 1, 2);
    grid->addWidget(label(f, "Label6", QStringLiteral("常駐ポート")), 2, 0);
    auto* portRow = new QHBoxLayout;
    m_port = lineEdit(f, "Text4", QStringLiteral("IP Messenger 受信用に常駐するポート番号です"));
    m_port->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    m_portAtStart = checkBox(f, "Check3", QStringLiteral("起動時のポートとする"),
                             QStringLiteral("チェックすると、次回から設定したポートで起動します"));
    m_currentPort = label(f, "Label16", QStringLiteral("2425"),
                          QStringLiteral("現在、待機しているポート番号です"));
    m_currentPort->setFrameShape(QFrame::StyledPanel);
    portRow->addWidget(m_port);
    portRow->addWidget(m_portAtStart);
    portRow->addStretch();
    portRow->addWidget(m_currentPort);
    grid->addLayout(portRow, 2, 1, 1, 2);

    // Broadcast list: port and address on the left, the list on the right.
    auto* broadcastInput = new QGridLayout;
    broadcastInput->addWidget(label(f, "Label3", QStringLiteral("ブロードキャストアドレス")), 0, 0,
                              1, 2);
    m_broadcastPort = lineEdit(f, "Text11", QStringLiteral("ブロードキャストアドレスのポート番号"));
    m_broadcastPort->setMaximumWidth(m_port->maximumWidth());
    m_broadcastAddress = lineEdit(f, "Text5", QStringLiteral("自分自身のも入れてください"));
    m_addBroadcast =
        button(f, "Command3", QStringLiteral(">>"), QStringLiteral("ブロードキャストを登録します"));
    broadcastInput->addWidget(m_broadcastPort, 1, 0);
    broadcastInput->addWidget(m_broadcastAddress, 1, 1);
    broadcastInput->addWidget(m_addBroadcast, 1, 2);
    broadcastInput->setRowStretch(2, 1);
    grid->addLayout(broadcastInput, 3, 0, 1, 2);
    auto* broadcastList = new QVBoxLayout;
    broadcastList->addWidget(label(f, "Label2", QStringLiteral("登録されたプロードキャスト"),
                                   QStringLiteral("自分自身のも入れてください")));
    m_broadcasts = new QListWidget(f);
    m_broadcasts->setObjectName(QStringLiteral("List1"));
    m_broadcasts->setToolTip(
        QStringLiteral("「ポート:アドレス」という変則的な表示ですが、勘弁をば"));
    m_broadcasts->setMinimumHeight(fontMetrics().height() * 4);
    broadcastList->addWidget(m_broadcasts);
    grid->addLayout(broadcastList, 3, 2);
    connect(m_addBroadcast, &QPushButton::clicked, this, &SettingsDialog::addBroadcast);
    connect(m_broadcasts, &QListWidget::itemDoubleClicked, this, &SettingsDialog::takeBroadcast);

    // Absence messages: title and text, ">>", the grid and the mode.
    grid->addWidget(label(f, "Label4", QStringLiteral("不在通知"),
                          QStringLiteral("不在通知を設定してください")),
                    4, 0);
    auto* absenceInput = new QGridLayout;
    absenceInput->addWidget(label(f, "Label9", QStringLiteral("題")), 0, 0);
    m_absenceTitle = lineEdit(f, "Text6(0)", QStringLiteral("不在題(重複不可)"));
    absenceInput->addWidget(m_absenceTitle, 0, 1);
    absenceInput->addWidget(label(f, "Label8", QStringLiteral("不在通知の内容")), 1, 0, 1, 2);
    m_absenceBody = new QPlainTextEdit(f);
    m_absenceBody->setObjectName(QStringLiteral("Text6(1)"));
    m_absenceBody->setToolTip(QStringLiteral("不在文を入力。"));
    m_absenceBody->setTabChangesFocus(true);
    m_absenceBody->setMinimumHeight(fontMetrics().height() * 3);
    absenceInput->addWidget(m_absenceBody, 2, 0, 1, 2);
    m_addAbsence =
        button(f, "Command8", QStringLiteral(">>"), QStringLiteral("不在データを登録します"));
    absenceInput->addWidget(m_addAbsence, 2, 2, Qt::AlignTop);
    grid->addLayout(absenceInput, 5, 0, 1, 2);
    m_absences = new QTableWidget(0, 2, f);
    m_absences->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_absences->setToolTip(QStringLiteral("登録されている不在通知メッセージです"));
    m_absences->setHorizontalHeaderLabels({QStringLiteral("題"), QStringLiteral("内容")});
    m_absences->verticalHeader()->hide();
    m_absences->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_absences->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_absences->setWordWrap(false);
    m_absences->horizontalHeader()->setStretchLastSection(true);
    m_absences->setColumnWidth(0, kAbsenceColumnWidth / kTwipsPerPixel);
    m_absences->setColumnWidth(1, kAbsenceColumnWidth / kTwipsPerPixel);
    m_absences->setMinimumHeight(fontMetrics().height() * 5);
    grid->addWidget(m_absences, 5, 2);
    connect(m_addAbsence, &QPushButton::clicked, this, &SettingsDialog::addAbsence);
    connect(m_absences, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { takeAbsence(row); });

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(label(f, "Label10", QStringLiteral("モード"),
                             QStringLiteral("不在モードを選択してください")));
    m_absenceMode = new QComboBox(f);
    m_absenceMode->setObjectName(QStringLiteral("Combo1"));
    m_absenceMode->setToolTip(QStringLiteral("不在モードを選択してください"));
    m_absenceMode->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    modeRow->addWidget(m_absenceMode, 1);
    grid->addLayout(modeRow, 6, 0, 1, 2);

    // The peer list's order.
    auto* sortRow = new QHBoxLayout;
    sortRow->addWidget(label(f, "Label14", QStringLiteral("ソート順")));
    m_sortColumn = new QComboBox(f);
    m_sortColumn->setObjectName(QStringLiteral("Combo2"));
    m_sortColumn->setToolTip(QStringLiteral("IPM のリストのソート対象です"));
    m_sortColumn->addItems({QStringLiteral("ユーザー順"), QStringLiteral("グループ順"),
                            QStringLiteral("IP アドレス順")});
    sortRow->addWidget(m_sortColumn);
    m_ascending = checkBox(f, "Check2", QStringLiteral("昇順"),
                           QStringLiteral("ソートを昇順にするかどうかです"));
    sortRow->addWidget(m_ascending);
    sortRow->addStretch();
    grid->addLayout(sortRow, 6, 2);

    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(3, 1);
    grid->setRowStretch(5, 2);

    for (QLineEdit* field : {m_port, m_broadcastPort})
        field->installEventFilter(this);
}

void SettingsDialog::buildGeneralTab(QWidget* page)
{
    m_generalFrame = new QGroupBox(QStringLiteral("Velmar 一般"), page);
    m_generalFrame->setObjectName(QStringLiteral("Frame1(1)"));
    m_generalFrame->setToolTip(QStringLiteral("Velmar 一般の設定です"));
    (new QVBoxLayout(page))->addWidget(m_generalFrame);
    QWidget* f = m_generalFrame;
    auto* grid = new QGridLayout(f);

    // Reply mark, IME and font.
    const QString markTip = QStringLiteral("相手の文章の行頭につける文字です");
    grid->addWidget(label(f, "Label1", QStringLiteral("レス文字"), markTip), 0, 0);
    auto* markRow = new QHBoxLayout;
    m_replyMark = lineEdit(f, "Text1", markTip);
    m_replyMark->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("MMMMMM")));
    m_autoIme = checkBox(
        f, "Check1", QStringLiteral("自動 IME On"),
        QStringLiteral("自動IME の設定です。ウザッたい人はチェックをはずす事を奨励します。"));
    m_chooseFont = button(f, "Command6", QStringLiteral("フォントを設定"),
                          QStringLiteral("フォントを指定できます"));
    markRow->addWidget(m_replyMark);
    markRow->addWidget(m_autoIme);
    markRow->addStretch();
    markRow->addWidget(m_chooseFont);
    grid->addLayout(markRow, 0, 1, 1, 3);
    connect(m_chooseFont, &QPushButton::clicked, this, &SettingsDialog::chooseFont);

    // Colours: a button and its swatch each.
    struct Picker {
        const char* buttonName;
        QString caption;
        QString buttonTip;
        const char* swatchName;
        QString swatchTip;
        ColourSwatch** swatch;
    };
    const Picker pickers[] = {
        {"Command7", QStringLiteral("背景色"), QStringLiteral("背景色を設定できます"), "Text8",
         QStringLiteral("背景色の色です"), &m_background},
        {"Command9", QStringLiteral("IPM の背景色"),
         QStringLiteral("IPM 関連の背景色を設定できます"), "Text10",
         QStringLiteral("IPM 関連の背景色です"), &m_messageBackground},
        {"Command11", QStringLiteral("IPM不在者背景色"),
         QStringLiteral("IPM のリストの不在者のレコードの背景色です"), "Text12",
         QStringLiteral("IPM のリストの不在者のレコードの背景色です"), &m_absentRowBackground},
        {"Command12", QStringLiteral("IPM 通常状態背景色"),
         QStringLiteral("IPM のリストの通常状態のレコードの背景色です"), "Text13",
         QStringLiteral("IPM のリストの通常状態のレコードの背景色です"), &m_presentRowBackground},
    };
    int index = 0;
    for (const Picker& picker : pickers) {
        auto* pick = button(f, picker.buttonName, picker.caption, picker.buttonTip);
        auto* swatch = new ColourSwatch(picker.swatchName, picker.swatchTip, f);
        *picker.swatch = swatch;
        const int row = 1 + index / 2;
        const int column = (index % 2) * 2;
        auto* cell = new QHBoxLayout;
        cell->addWidget(pick, 1);
        cell->addWidget(swatch);
        grid->addLayout(cell, row, column, 1, 2);
        connect(pick, &QPushButton::clicked, this, [this, swatch] { chooseSwatchColour(swatch); });
        ++index;
    }

    // Reply marks and their colours.
    const QString marksTip = QStringLiteral("カンマ区切りで、複数指定できます。");
    auto* marksColumn = new QVBoxLayout;
    marksColumn->addWidget(label(f, "Label11", QStringLiteral("色を付ける行の先頭文字"), marksTip));
    auto* marksRow = new QHBoxLayout;
    m_marks = lineEdit(f, "Text7", marksTip);
    m_chooseMarkColour = button(f, "Command5", QStringLiteral("色を選択"),
                                QStringLiteral("抜きレスの行につける色です。"));
    m_addReplyColour =
        button(f, "Command4", QStringLiteral(">>"),
               QStringLiteral("その色とレス文字を登録します。空文字は登録できません"));
    marksRow->addWidget(m_marks, 1);
    marksRow->addWidget(m_chooseMarkColour);
    marksRow->addWidget(m_addReplyColour);
    marksColumn->addLayout(marksRow);
    marksColumn->addStretch();
    grid->addLayout(marksColumn, 3, 0, 1, 2);
    auto* coloursColumn = new QVBoxLayout;
    coloursColumn->addWidget(label(f, "Label13", QStringLiteral("設定されたレスと色")));
    m_replyColours = new QListWidget(f);
    m_replyColours->setObjectName(QStringLiteral("List2"));
    m_replyColours->setToolTip(QStringLiteral("登録された、レス文字と色です"));
    m_replyColours->setMinimumHeight(fontMetrics().height() * 4);
    coloursColumn->addWidget(m_replyColours);
    coloursColumn->addWidget(
        label(f, "Label12", QStringLiteral("上から反映されます。"),
              QStringLiteral(
                  "例えば、最初に、\">>\" の色を、次に、\">\" の色を設定すると見やすいかも。")));
    grid->addLayout(coloursColumn, 3, 2, 1, 2);
    connect(m_chooseMarkColour, &QPushButton::clicked, this, &SettingsDialog::chooseMarkColour);
    connect(m_addReplyColour, &QPushButton::clicked, this, &SettingsDialog::addReplyColour);
    connect(m_replyColours, &QListWidget::itemDoubleClicked, this,
            &SettingsDialog::takeReplyColour);

    // Retry count, sound, password, window state.
    grid->addWidget(label(f, "Label15", QStringLiteral("リトライ回数")), 6, 0);
    m_retry = lineEdit(f, "Text9",
                       QStringLiteral("通信の不安定なLAN では上げてください。あまり上げるとネット"
                                      "ワークの負荷になります"));
    m_retry->setMaximumWidth(m_replyMark->maximumWidth());
    grid->addWidget(m_retry, 6, 1, Qt::AlignLeft);
    m_retry->installEventFilter(this);
    const QString soundTip = QStringLiteral("IPMsg 到着時に鳴らす WAV 形式のサウンド・ファイル");
    m_chooseSound = button(f, "Command10", QStringLiteral("サウンドファイル"), soundTip);
    m_soundPath = label(f, "Label17", QStringLiteral("サウンド・ファイル・パス"));
    grid->addWidget(m_chooseSound, 7, 0, 1, 2);
    grid->addWidget(m_soundPath, 7, 2, 1, 2);
    connect(m_chooseSound, &QPushButton::clicked, this, &SettingsDialog::chooseSoundFile);
    grid->addWidget(label(f, "Label18", QStringLiteral("IPM パスワード")), 8, 0);
    m_password = lineEdit(f, "Text14", QStringLiteral("封書施錠時のパスワード"));
    m_password->setEchoMode(QLineEdit::Password);
    grid->addWidget(m_password, 8, 1);
    m_saveWindowState =
        checkBox(f, "Check4", QStringLiteral("ウィンドウ状態を記録する"),
                 QStringLiteral("終了時のウィンドウ状態を記録し、次回起動時に反映するかどうか"));
    grid->addWidget(m_saveWindowState, 8, 2, 1, 2);
    m_notify = checkBox(f, "Check5", QStringLiteral("メッセージの到着を通知する"),
                        QStringLiteral("メッセージが届いたとき、デスクトップに通知を表示します"));
    grid->addWidget(m_notify, 9, 2, 1, 2);

    // The message history.
    m_historyBox = new HistorySettingsBox(m_services.store, f);
    grid->addWidget(m_historyBox, 10, 0, 1, 4);

    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

} // namespace velmar::settings
