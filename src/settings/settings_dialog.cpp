#include "settings/settings_dialog.h"

#include "platform/choosers.h"
#include "platform/file_dialogs.h"
#include "platform/line_breaks.h"
#include "platform/message_boxes.h"
#include "settings/colour_value.h"
#include "settings/dialog_host.h"
#include "settings/history_settings_box.h"
#include "settings/keys.h"
#include "settings/settings_dialog_widgets.h"
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

using namespace detail;

namespace {

// Outer size of the dialog at design time, twips (15 twips a pixel at 96 dpi).
constexpr int kDesignWidth = 6915;
constexpr int kDesignHeight = 6300;

const QString kPresent = QStringLiteral("不在じゃないよ");
const QString kFallbackPort = QStringLiteral("2425");
const QString kSoundFilter = QStringLiteral("ｻｳﾝﾄﾞ(*.wav)|*.wav");

bool storedFlag(const QString& text)
{
    return text.trimmed().compare(u"True", Qt::CaseInsensitive) == 0;
}

QString flagText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

} // namespace

namespace detail {

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QString& tip)
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

} // namespace detail

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
    m_notify->setChecked(v.notify);
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
    v.notify = m_notify->isChecked();
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
    m_historyBox->commit();
    close();
}

void SettingsDialog::checkNumberField(QLineEdit* field)
{
    const bool isRetry = field == m_retry;
    if (const std::optional<QString> refusal = numberFieldRefusal(
            field->text(), isRetry ? RetryRange : PortRange, m_services.textgauge)) {
        m_services.boxes.show(QStringLiteral("警告"), *refusal);
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
    else if (result == EditResult::BadAddress)
        m_services.boxes.show(QStringLiteral("警告"),
                              QStringLiteral("「%1」はアドレスでもホスト名でもありません")
                                  .arg(m_broadcastAddress->text().trimmed()));
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
        // The chosen message, taken out for editing, is chosen again as edited.
        if (m_editingChosenAbsence)
            m_absenceMode->setCurrentIndex(m_absenceMode->count() - 1);
        m_editingChosenAbsence = false;
        return;
    case EditResult::Ignored:
    case EditResult::Duplicate:
    case EditResult::BadAddress:
        return;
    }
}

void SettingsDialog::takeAbsence(int row)
{
    if (row < 0 || row >= m_absenceMessages.size())
        return;
    const AbsenceMessage message = m_absenceMessages.takeAt(row);
    const int item = m_absenceMode->findText(message.title, Qt::MatchExactly);
    // Removing the current item would make the box show its neighbour, and "セット"
    // announce a title the user never chose: until the message comes back, the
    // mode is "present".
    m_editingChosenAbsence = item > 0 && item == m_absenceMode->currentIndex();
    if (m_editingChosenAbsence)
        m_absenceMode->setCurrentIndex(0);
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
