#pragma once

#include "ipmsg/ui/user_list_layout.h"

#include <QList>
#include <QWidget>
#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableView;

namespace velmar::ipmsg {

class Messenger;
class UserListState;

// The user-list dialog ("送信画面"): the peers on the network, the chosen
// destinations, the text to send and the send controls. A view over the messaging
// engine, which owns every piece of state shown here; the dialog forwards the user's
// actions to the engine and follows its signals, including whether it is shown.
//
// The close box discards the dialog (WA_DeleteOnClose) after telling the engine,
// which forgets the dialog's state; the owner creates a new one at the next use and
// has the engine Load it again.
class UserListDialog final : public QWidget {
    Q_OBJECT
public:
    // `isEndmode` answers the main window's m_endMode when the dialog is closed.
    UserListDialog(Messenger& engine, std::function<bool()> isEndmode, QWidget* parent = nullptr);
    ~UserListDialog() override;

    UserListDialog(const UserListDialog&) = delete;
    UserListDialog& operator=(const UserListDialog&) = delete;

    // The inner size the dialog starts with, which is also its minimum.
    static QSize designSize();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void connectEngine();
    void applyLayout();
    UserListMetrics metrics() const;
    int japaneseLineHeight() const;
    void resetColumnWidths();

    void setFormEnabled(bool chk);
    void syncVisibility(bool visible);
    void syncProgress(int value, int maximum);
    void syncProgressShown(bool shown);
    void syncDestinations();
    void syncChecks();
    void syncSort();
    void syncTextToSend(const QString& crlfText);
    void textEdited();

    Messenger& m_engine;
    UserListState& m_state;
    std::function<bool()> m_isEndmode;
    bool m_closing = false;
    bool m_updatingText = false;
    QList<int> m_savedColumnWidths;

    QGroupBox* m_sortFrame = nullptr;
    QButtonGroup* m_sortGroup = nullptr;
    std::array<QRadioButton*, 4> m_sortOptions{};
    QCheckBox* m_sortAscendingCheck = nullptr;
    QCheckBox* m_sealedCheck = nullptr;
    QCheckBox* m_lockCheck = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_sendButton = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QLabel* m_sendingLabel = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_peersLabel = nullptr;
    QTableView* m_grid = nullptr;
    QLabel* m_destinationsLabel = nullptr;
    QListWidget* m_destinationNames = nullptr;
    QLabel* m_textLabel = nullptr;
    QPlainTextEdit* m_textEdit = nullptr;
};

} // namespace velmar::ipmsg
