#include "settings/settings_dialog.h"

#include "platform/choosers.h"
#include "platform/file_dialogs.h"
#include "platform/line_breaks.h"
#include "platform/message_boxes.h"
#include "settings/colour_value.h"
#include "settings/dialog_host.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velmar::settings {

namespace {

// Outer size of the dialog at design time, twips (15 twips a pixel at 96 dpi).
constexpr int kDesignWidth = 6915;
constexpr int kDesignHeight = 6300;
constexpr int kTwipsPerPixel = 15;
// Width of both absence grid columns, twips.
constexpr int kAbsenceColumnWidth = 1500;

const QString kPresent = QStringLiteral("不在じゃないよ");
const QString kFallbackPort = QStringLiteral("2425");
const QString kSoundFilter = QStringLiteral("ｻｳﾝﾄﾞ(*.wav)|*.wav");

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QString& tip = {})
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setToolTip(tip);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& tip)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& tip)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(tip);
    return e;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QString& tip)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setToolTip(tip);
    return c;
}

QColor shownColour(quint32 value)
{
    return colorFromValue(value, QApplication::palette()).value_or(QColor(Qt::white));
}

bool storedFlag(const QString& text)
{
    return text.trimmed().compare(u"True", Qt::CaseInsensitive) == 0;
}

QString flagText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

// A colour sample: a read-only box whose background is the colour value it holds.
class ColourSwatch final : public QLineEdit {
public:
    ColourSwatch(const char* name, const QString& tip, QWidget* parent) : QLineEdit(parent)
    {
        setObjectName(QString::fromLatin1(name));
        setToolTip(tip);
        setReadOnly(true);
        setFocusPolicy(Qt::NoFocus);
        setMaximumWidth(fontMetrics().horizontalAdvance(u'M') * 4);
        setValue(WindowBackgroundColour);
    }

    quint32 value() const { return m_value; }
    void setValue(quint32 value)
    {
        m_value = value;
        QPalette p = palette();
        p.setColor(QPalette::Base, shownColour(value));
        setPalette(p);
    }

private:
    quint32 m_value = WindowBackgroundColour;
};

SettingsDialog::SettingsDialog(SettingsDialogServices services, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_services(services)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Returning from this window to the main window counts as its activation.
    setProperty("velmarForm", true);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_tabs->setToolTip(QStringLiteral("いろいろと設定してください。"));
    auto* messagingPage = new QWidget(m_tabs);
    auto* generalPage = new QWidget(m_tabs);
    buildMessagingTab(messagingPage);
    buildGeneralTab(generalPage);
    m_tabs->addTab(messagingPage, QStringLiteral("IP Messenger 関連"));
    m_tabs->setTabToolTip(0, QStringLiteral("IP Messenger 関連の設定です"));
    m_tabs->addTab(generalPage, QStringLiteral("一般"));
    m_tabs->setTabToolTip(1, QStringLiteral("Velmar 一般の設定です"));

    m_cancel = button(this, "Command2", QStringLiteral("キャンセル"),
                      QStringLiteral("修正内容を破棄します"));
    m_set =
        button(this, "Command1", QStringLiteral("セット"), QStringLiteral("設定を有効にします"));
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_set, &QPushButton::clicked, this, &SettingsDialog::commit);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(m_set);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addLayout(buttons);

    load();

    // Japanese captions need more room than the design gave them: start at whatever
    // the layout needs, never below the design size.
    setMinimumSize(minimumSizeHint());
    resize(minimumSizeHint().expandedTo(designSize()) + QSize(0, fontMetrics().height() * 4));
}

SettingsDialog::~SettingsDialog() = default;

QSize SettingsDialog::designSize()
{
    return {kDesignWidth / kTwipsPerPixel, kDesignHeight / kTwipsPerPixel};
}

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
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void SettingsDialog::load()
{
    const SettingsValues v = loadSettings(m_services.store, m_services.host);

    m_replyMark->setText(v.replyMark);
    m_marks->setText(v.replyMark);
    m_autoIme->setChecked(v.autoIme);
    m_background->setValue(v.background);
    m_messageBackground->setValue(v.messageBackground);
    m_absentRowBackground->setValue(v.absentRowBackground);
    m_presentRowBackground->setValue(v.presentRowBackground);
    m_password->setText(v.password);
    m_replyColourEntries = v.replyColours;
    showReplyColours();
    m_saveWindowState->setChecked(v.saveWindowState);
    showMarkColours();

    m_port->setText(v.port);
    m_broadcastPort->setText(v.port);
    m_currentPort->setText(v.port);
    m_userName->setText(v.userName);
    m_groupName->setText(v.groupName);
    m_retry->setText(v.retry);
    m_sortColumn->setCurrentIndex(v.sortColumn);
    m_ascending->setChecked(v.ascending);
    m_broadcastEntries = v.broadcasts;
    showBroadcasts();

    m_absenceTitle->setText(QStringLiteral("不在"));
    m_absenceBody->setPlainText(QStringLiteral("不在です\n"));
    m_absenceMessages = v.absences;
    showAbsences();
    m_absenceMode->clear();
    m_absenceMode->addItem(kPresent);
    for (const AbsenceMessage& message : std::as_const(m_absenceMessages))
        m_absenceMode->addItem(message.title);
    const int mode = v.absenceTitle.isEmpty() ? 0 : m_absenceMode->findText(v.absenceTitle);
    m_absenceMode->setCurrentIndex(mode < 0 ? 0 : mode);

    const bool sound = m_services.host.hasSoundComponent();
    m_chooseSound->setEnabled(sound);
    m_soundPath->setVisible(sound);
    m_soundPath->setToolTip(v.soundFile);
}

SettingsValues SettingsDialog::values() const
{
    SettingsValues v;
    v.replyMark = m_replyMark->text();
    v.autoIme = m_autoIme->isChecked();
    v.background = m_background->value();
    v.messageBackground = m_messageBackground->value();
    v.absentRowBackground = m_absentRowBackground->value();
    v.presentRowBackground = m_presentRowBackground->value();
    v.password = m_password->text();
    v.saveWindowState = m_saveWindowState->isChecked();
    v.replyColours = m_replyColourEntries;
    v.retry = m_retry->text();
    v.soundFile = m_soundPath->toolTip();
    v.userName = m_userName->text();
    v.groupName = m_groupName->text();
    v.port = m_port->text();
    v.portAtStart = m_portAtStart->isChecked();
    v.sortColumn = m_sortColumn->currentIndex();
    v.ascending = m_ascending->isChecked();
    v.broadcasts = m_broadcastEntries;
    v.absences = m_absenceMessages;
    if (m_absenceMode->currentIndex() > 0)
        v.absenceTitle = m_absenceMode->currentText();
    return v;
}

void SettingsDialog::proposeUserName(const QString& name)
{
    showTab(0);
    m_userName->setText(name);
    m_userName->selectAll();
    m_userName->setFocus();
}

void SettingsDialog::showTab(int index)
{
    m_tabs->setCurrentIndex(index);
}

bool SettingsDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        m_services.host.settingsActivated();
    return QWidget::event(event);
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (auto* field = qobject_cast<QLineEdit*>(watched))
            checkNumberField(field);
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsDialog::commit()
{
    const SettingsValues v = values();
    const CommitResult result =
        commitSettings(v, m_services.store, m_services.textgauge, m_services.host);
    if (result == CommitResult::PortRefused) {
        m_services.boxes.show(
            QStringLiteral("エラー"),
            QStringLiteral("ポート %1 は使用中か、開けません。\r\n"
                           "ポート %2 のまま待機します。")
                .arg(v.port.trimmed(), QString::number(m_services.host.localPort())));
        m_port->setFocus();
        m_port->selectAll();
        return;
    }
    close();
}

void SettingsDialog::checkNumberField(QLineEdit* field)
{
    const bool isRetry = field == m_retry;
    const bool valid = isRetry ? retryCount(field->text(), m_services.textgauge).has_value()
                               : portNumber(field->text(), m_services.textgauge).has_value();
    if (!valid) {
        m_services.boxes.show(QStringLiteral("警告"), QStringLiteral("数字をお願い"));
        field->setText(isRetry ? DefaultRetry.toString() : kFallbackPort);
    }
    // The broadcast port follows the resident port.
    if (field == m_port)
        m_broadcastPort->setText(m_port->text());
}

void SettingsDialog::showMarkColours()
{
    QPalette p = m_marks->palette();
    p.setColor(QPalette::Base, shownColour(m_background->value()));
    p.setColor(QPalette::Text, shownColour(m_markColour));
    m_marks->setPalette(p);
}

void SettingsDialog::chooseMarkColour()
{
    if (const auto colour = m_services.choosers.chooseColour(shownColour(m_markColour))) {
        m_markColour = colorToValue(*colour);
        showMarkColours();
    }
}

void SettingsDialog::addReplyColour()
{
    if (settings::addReplyColour(m_replyColourEntries, m_marks->text(), m_markColour) ==
        EditResult::Added)
        showReplyColours();
}

void SettingsDialog::takeReplyColour(QListWidgetItem* item)
{
    const int row = m_replyColours->row(item);
    if (row < 0 || row >= m_replyColourEntries.size())
        return;
    const ReplyColourEntry entry = splitReplyColour(m_replyColourEntries.takeAt(row));
    m_marks->setText(entry.marks);
    m_markColour = entry.colour;
    showMarkColours();
    showReplyColours();
}

void SettingsDialog::chooseSwatchColour(ColourSwatch* swatch)
{
    const auto colour = m_services.choosers.chooseColour(shownColour(swatch->value()));
    if (!colour)
        return;
    swatch->setValue(colorToValue(*colour));
    // The marks are previewed on the window background.
    if (swatch == m_background) {
        showMarkColours();
        showReplyColours();
    }
}

void SettingsDialog::addBroadcast()
{
    const EditResult result = settings::addBroadcast(m_broadcastEntries, m_broadcastPort->text(),
                                                     m_broadcastAddress->text());
    if (result == EditResult::Duplicate)
        m_services.boxes.show(QStringLiteral("二重登録"), QStringLiteral("二重登録になります"));
    else if (result == EditResult::Added)
        showBroadcasts();
}

void SettingsDialog::takeBroadcast(QListWidgetItem* item)
{
    const int row = m_broadcasts->row(item);
    if (row < 0 || row >= m_broadcastEntries.size())
        return;
    const BroadcastEntry entry =
        splitBroadcast(m_broadcastEntries.takeAt(row), m_services.textgauge);
    showBroadcasts();
    if (entry.port)
        m_broadcastPort->setText(*entry.port);
    m_broadcastAddress->setText(entry.address);
}

void SettingsDialog::addAbsence()
{
    const QString title = m_absenceTitle->text();
    const QString body = platform::toCrlf(m_absenceBody->toPlainText());
    switch (settings::addAbsence(m_absenceMessages, title, body)) {
    case EditResult::EmptyField:
        m_services.boxes.show(QStringLiteral("警告"), QStringLiteral("題か本文が空です"));
        return;
    case EditResult::DuplicateTitle:
        m_services.boxes.show(QStringLiteral("警告"), QStringLiteral("題が重複しています"));
        return;
    case EditResult::Added:
        showAbsences();
        // The mode box offers the title as stored, so choosing it finds its text.
        m_absenceMode->addItem(m_absenceMessages.last().title);
        return;
    case EditResult::Ignored:
    case EditResult::Duplicate:
        return;
    }
}

void SettingsDialog::takeAbsence(int row)
{
    if (row < 0 || row >= m_absenceMessages.size())
        return;
    const AbsenceMessage message = m_absenceMessages.takeAt(row);
    const int item = m_absenceMode->findText(message.title, Qt::MatchExactly);
    if (item > 0)
        m_absenceMode->removeItem(item);
    m_absenceTitle->setText(message.title);
    m_absenceBody->setPlainText(platform::crlfToLf(message.body));
    showAbsences();
}

void SettingsDialog::chooseFont()
{
    namespace k = keys;
    SettingsStore& store = m_services.store;
    platform::FontChoice preset;
    const QString name = store.read(k::FontName, QString());
    preset.family = name.isEmpty() || isUnset(name) ? QApplication::font().family() : name;
    preset.bold = storedFlag(store.read(k::FontBold));
    preset.italic = storedFlag(store.read(k::FontItalic));
    preset.strikeOut = storedFlag(store.read(k::FontStrikeOut));
    preset.underline = storedFlag(store.read(k::FontUnderline));
    bool ok = false;
    const double size = store.read(k::FontSize).trimmed().toDouble(&ok);
    preset.pointSize = ok && size > 0 ? size : 11.5;
    preset.colour = colorFromSetting(store.read(k::FontColour), QApplication::palette())
                        .value_or(QColor(Qt::black));

    const auto chosen = m_services.choosers.chooseFont(preset);
    if (!chosen)
        return;
    store.write(k::FontName, chosen->family);
    store.write(k::FontBold, flagText(chosen->bold));
    store.write(k::FontItalic, flagText(chosen->italic));
    store.write(k::FontStrikeOut, flagText(chosen->strikeOut));
    store.write(k::FontUnderline, flagText(chosen->underline));
    store.write(k::FontSize, QString::number(chosen->pointSize));
    store.write(k::FontColour, colourText(colorToValue(chosen->colour)));
}

void SettingsDialog::chooseSoundFile()
{
    // A cancel stores the empty path: that is how the arrival sound is turned off.
    const QString path = m_services.fileDialogs.openFileName(kSoundFilter);
    m_services.store.write(keys::SoundFile, path);
    m_soundPath->setToolTip(path);
}

void SettingsDialog::showBroadcasts()
{
    m_broadcasts->clear();
    m_broadcasts->addItems(m_broadcastEntries);
}

void SettingsDialog::showReplyColours()
{
    m_replyColours->clear();
    QPalette p = m_replyColours->palette();
    p.setColor(QPalette::Base, shownColour(m_background->value()));
    m_replyColours->setPalette(p);
    for (const QString& entry : std::as_const(m_replyColourEntries)) {
        // Each entry shows in its colour on the window background, as quoted lines will.
        auto* item = new QListWidgetItem(entry, m_replyColours);
        item->setForeground(shownColour(splitReplyColour(entry).colour));
    }
}

void SettingsDialog::showAbsences()
{
    m_absences->setRowCount(0);
    for (const AbsenceMessage& message : std::as_const(m_absenceMessages)) {
        const int row = m_absences->rowCount();
        m_absences->insertRow(row);
        m_absences->setItem(row, 0, new QTableWidgetItem(message.title));
        auto* body = new QTableWidgetItem(platform::crlfToLf(message.body).simplified());
        body->setToolTip(platform::crlfToLf(message.body));
        m_absences->setItem(row, 1, body);
    }
}

} // namespace velmar::settings
