#pragma once

#include "settings/settings_values.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace velmar::components {
class Textgauge;
}
namespace velmar::platform {
class Choosers;
class FileDialogs;
class MessageBoxes;
} // namespace velmar::platform

namespace velmar::settings {

class ColourSwatch;
class SettingsDialogHost;
class SettingsStore;

class HistorySettingsBox;

struct SettingsDialogServices {
    SettingsStore& store;
    components::Textgauge& textgauge;
    SettingsDialogHost& host;
    platform::MessageBoxes& boxes;
    platform::FileDialogs& fileDialogs;
    platform::Choosers& choosers;
};

// The settings dialog ("設定"): every setting on two tabs, with the editors of the
// reply-mark colours, the broadcast list and the absence messages. The lists and
// colours are stored by "セット"; the font and the sound file when they are chosen.
// "キャンセル", Escape and the close box discard the dialog (WA_DeleteOnClose); the
// next use creates it afresh from the store.
class SettingsDialog final : public QWidget {
    Q_OBJECT
public:
    explicit SettingsDialog(SettingsDialogServices services, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // First start: the user name field shows `name` and has the focus, on tab 1.
    void proposeUserName(const QString& name);
    void showTab(int index);
    // The block of the message history's settings.
    HistorySettingsBox* historyBox() const { return m_historyBox; }
    // What the fields hold now.
    SettingsValues values() const;

    // The smallest size, from the design, in pixels.
    static QSize designSize();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMessagingTab(QWidget* page);
    void buildGeneralTab(QWidget* page);
    void load();

    void commit();
    void chooseMarkColour();
    void addReplyColour();
    void takeReplyColour(QListWidgetItem* item);
    void chooseSwatchColour(ColourSwatch* swatch);
    void addBroadcast();
    void takeBroadcast(QListWidgetItem* item);
    void addAbsence();
    void takeAbsence(int row);
    void chooseFont();
    void chooseSoundFile();
    void checkNumberField(QLineEdit* field);

    void showMarkColours();
    void showBroadcasts();
    void showReplyColours();
    void showAbsences();

    SettingsDialogServices m_services;
    QStringList m_broadcastEntries;
    QStringList m_replyColourEntries;
    QList<AbsenceMessage> m_absenceMessages;
    quint32 m_markColour = 0;
    // The absence message chosen as the mode was taken out to be edited.
    bool m_editingChosenAbsence = false;

    QTabWidget* m_tabs = nullptr;
    QGroupBox* m_messagingFrame = nullptr;
    QGroupBox* m_generalFrame = nullptr;

    QLineEdit* m_userName = nullptr;
    QLineEdit* m_groupName = nullptr;
    QLineEdit* m_port = nullptr;
    QCheckBox* m_portAtStart = nullptr;
    QLabel* m_currentPort = nullptr;
    QLineEdit* m_broadcastPort = nullptr;
    QLineEdit* m_broadcastAddress = nullptr;
    QPushButton* m_addBroadcast = nullptr;
    QListWidget* m_broadcasts = nullptr;
    QLineEdit* m_absenceTitle = nullptr;
    QPlainTextEdit* m_absenceBody = nullptr;
    QPushButton* m_addAbsence = nullptr;
    QTableWidget* m_absences = nullptr;
    QComboBox* m_absenceMode = nullptr;
    QComboBox* m_sortColumn = nullptr;
    QCheckBox* m_ascending = nullptr;

    QLineEdit* m_replyMark = nullptr;
    QCheckBox* m_autoIme = nullptr;
    QPushButton* m_chooseFont = nullptr;
    ColourSwatch* m_background = nullptr;
    ColourSwatch* m_messageBackground = nullptr;
    ColourSwatch* m_absentRowBackground = nullptr;
    ColourSwatch* m_presentRowBackground = nullptr;
    QLineEdit* m_marks = nullptr;
    QPushButton* m_chooseMarkColour = nullptr;
    QPushButton* m_addReplyColour = nullptr;
    QListWidget* m_replyColours = nullptr;
    QLineEdit* m_retry = nullptr;
    QPushButton* m_chooseSound = nullptr;
    QLabel* m_soundPath = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_saveWindowState = nullptr;
    QCheckBox* m_notify = nullptr;

    QPushButton* m_cancel = nullptr;
    QPushButton* m_set = nullptr;

    HistorySettingsBox* m_historyBox = nullptr;
};

} // namespace velmar::settings
