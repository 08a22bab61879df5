#pragma once

#include "history/history_database.h"

#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTableView;
class QTimer;

namespace velmar::history {

// The 履歴 window: every kept message, newest first, one row each (time, ↓ received
// or ↑ sent, peer, first line, state), narrowed as the user types into the search
// field and by a choice of peer. Enter or a double click opens a row.
class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    static constexpr int MaxRows = 1000;

    // `databasePath`: the history file, opened for reading when it exists.
    // `open`: shows a message in a text window.
    HistoryWindow(QString databasePath, std::function<void(const HistoryMessage&)> open,
                  QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // Reads the list again (the search, the peer choice and the file as they are now).
    void refresh();
    // Soon, once: for a burst of stored messages.
    void refreshSoon();
    void openCurrent();

    QLineEdit* searchEdit() const { return m_search; }
    QComboBox* peerFilter() const { return m_peers; }
    QTableView* list() const { return m_list; }
    QStandardItemModel* model() const { return m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool ensureOpen();
    void fillPeers();

    QString m_path;
    std::function<void(const HistoryMessage&)> m_open;
    std::unique_ptr<HistoryDatabase> m_db;
    QLineEdit* m_search = nullptr;
    QComboBox* m_peers = nullptr;
    QTableView* m_list = nullptr;
    QStandardItemModel* m_model = nullptr;
    QLabel* m_status = nullptr;
    QTimer* m_delay = nullptr;
};

// The caption a text window shows a kept message under, as it showed when it came.
QString historyCaption(const HistoryMessage& message);

} // namespace velmar::history
