#include "history/ui/history_window.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace velmar::history {

namespace {

enum Column { TimeColumn, DirectionColumn, PeerColumn, TextColumn, StateColumn };
constexpr int IdRole = Qt::UserRole + 1;

QString timeText(qint64 at)
{
    return QDateTime::fromMSecsSinceEpoch(at).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

} // namespace

QString historyCaption(const HistoryMessage& message)
{
    const QString start = message.row.direction == Direction::Sent
                              ? QStringLiteral("To ")
                              : QStringLiteral("From Network ");
    return start + message.peer.name + QStringLiteral("(IP Messenger Protcol) ") +
           timeText(message.row.at);
}

HistoryWindow::HistoryWindow(QString databasePath, std::function<void(const HistoryMessage&)> open,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_path(std::move(databasePath)), m_open(std::move(open))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("履歴"));
    resize(720, 480);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("historySearch"));
    m_search->setPlaceholderText(QStringLiteral("検索 (本文・相手の名前)"));
    m_search->setClearButtonEnabled(true);
    m_search->installEventFilter(this);
    auto* searchLabel = new QLabel(QStringLiteral("検索(&F)"), this);
    searchLabel->setBuddy(m_search);

    m_peers = new QComboBox(this);
    m_peers->setObjectName(QStringLiteral("historyPeer"));
    m_peers->setMinimumContentsLength(16);
    auto* peerLabel = new QLabel(QStringLiteral("相手(&P)"), this);
    peerLabel->setBuddy(m_peers);

    m_model = new QStandardItemModel(0, 5, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("日時"), QString(), QStringLiteral("相手"),
                                        QStringLiteral("内容"), QStringLiteral("状態")});
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("historyList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setTabKeyNavigation(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setStretchLastSection(false);
    m_list->horizontalHeader()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    m_list->setWordWrap(false);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("historyStatus"));

    auto* top = new QHBoxLayout;
    top->addWidget(searchLabel);
    top->addWidget(m_search, 1);
    top->addWidget(peerLabel);
    top->addWidget(m_peers);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_status);
    setTabOrder(m_search, m_peers);
    setTabOrder(m_peers, m_list);

    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    m_delay->setInterval(120);
    connect(m_delay, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(m_search, &QLineEdit::textChanged, this, &HistoryWindow::refreshSoon);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        refresh();
        if (m_model->rowCount() > 0) {
            m_list->setFocus();
            m_list->selectRow(0);
        }
    });
    connect(m_peers, &QComboBox::currentIndexChanged, this, &HistoryWindow::refresh);
    connect(m_list, &QTableView::activated, this, &HistoryWindow::openCurrent);
}

HistoryWindow::~HistoryWindow() = default;

bool HistoryWindow::ensureOpen()
{
    if (m_db && m_db->isOpen())
        return true;
    if (!QFile::exists(m_path))
        return false;
    m_db = std::make_unique<HistoryDatabase>(QStringLiteral("velmar-history-window"));
    if (!m_db->open(m_path, true)) {
        m_db.reset();
        return false;
    }
    return true;
}

void HistoryWindow::fillPeers()
{
    const QString chosen = m_peers->currentData().toString();
    const QSignalBlocker block(m_peers);
    m_peers->clear();
    m_peers->addItem(QStringLiteral("すべての相手"), QString());
    if (m_db) {
        const QList<PeerChoice> peers = m_db->peers();
        for (const PeerChoice& peer : peers)
            m_peers->addItem(peer.name + QStringLiteral(" (") + peer.address + u')', peer.address);
    }
    const int index = m_peers->findData(chosen);
    m_peers->setCurrentIndex(index < 0 ? 0 : index);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    fillPeers();
    refresh();
    m_search->setFocus();
}

void HistoryWindow::refreshSoon()
{
    m_delay->start();
}

void HistoryWindow::refresh()
{
    m_delay->stop();
    const qint64 current =
        m_list->currentIndex().isValid()
            ? m_model->index(m_list->currentIndex().row(), 0).data(IdRole).toLongLong()
            : 0;
    m_model->removeRows(0, m_model->rowCount());
    if (!ensureOpen()) {
        m_status->setText(QStringLiteral("履歴はまだありません"));
        return;
    }
    if (m_peers->count() <= 1)
        fillPeers();
    HistoryQuery query;
    query.search = m_search->text();
    query.address = m_peers->currentData().toString();
    query.limit = MaxRows;
    const QList<HistoryRow> rows = m_db->search(query);
    m_model->setRowCount(static_cast<int>(rows.size()));
    int currentRow = -1;
    for (int r = 0; r < rows.size(); ++r) {
        const HistoryRow& row = rows[r];
        auto* time = new QStandardItem(timeText(row.at));
        time->setData(row.id, IdRole);
        m_model->setItem(r, TimeColumn, time);
        auto* direction = new QStandardItem(row.direction == Direction::Sent ? QStringLiteral("↑")
                                                                             : QStringLiteral("↓"));
        direction->setToolTip(row.direction == Direction::Sent ? QStringLiteral("送信")
                                                               : QStringLiteral("受信"));
        m_model->setItem(r, DirectionColumn, direction);
        m_model->setItem(r, PeerColumn, new QStandardItem(row.peerName));
        QString line = row.firstLine;
        if (row.kind == MessageKind::AbsenceReply)
            line = QStringLiteral("[不在] ") + line;
        m_model->setItem(r, TextColumn, new QStandardItem(line));
        m_model->setItem(r, StateColumn, new QStandardItem(stateText(row.state)));
        if (row.id == current)
            currentRow = r;
    }
    m_list->resizeColumnToContents(TimeColumn);
    m_list->resizeColumnToContents(DirectionColumn);
    m_list->setColumnWidth(PeerColumn, 160);
    if (currentRow >= 0)
        m_list->selectRow(currentRow);
    if (!m_db->lastError().isEmpty() && rows.isEmpty())
        m_status->setText(QStringLiteral("検索できません: ") + m_db->lastError());
    else if (rows.size() >= MaxRows)
        m_status->setText(QStringLiteral("新しい順に %1 件を表示").arg(MaxRows));
    else
        m_status->setText(QStringLiteral("%1 件").arg(rows.size()));
}

void HistoryWindow::openCurrent()
{
    const QModelIndex index = m_list->currentIndex();
    if (!index.isValid() || !m_db)
        return;
    const qint64 id = m_model->index(index.row(), 0).data(IdRole).toLongLong();
    if (const auto message = m_db->message(id); message && m_open)
        m_open(*message);
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Down from the search field goes into the list.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown) &&
            m_model->rowCount() > 0) {
            m_list->setFocus();
            if (!m_list->currentIndex().isValid())
                m_list->selectRow(0);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velmar::history
