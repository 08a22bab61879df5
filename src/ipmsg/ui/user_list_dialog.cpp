#include "ipmsg/ui/user_list_dialog.h"

#include "ipmsg/messenger.h"
#include "ipmsg/user_list_state.h"
#include "platform/form_marker.h"
#include "platform/line_breaks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>
#include <utility>

namespace velmar::ipmsg {

namespace {

// Inner size at design time, twips.
constexpr int kDesignWidth = 5685;
constexpr int kDesignHeight = 5250;
// Width the peer grid gives its first three columns after a refresh, twips.
constexpr int kColumnWidth = 1100;

// "送信" acts when a mouse button is released over it, left or not, and only then: a
// keyboard press (space) clicks the button but nothing listens to that. A release
// counts only for a button that was also pressed here, so a drag that ends on the
// button does not send.
class ReleaseButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

    std::function<void(Qt::MouseButton)> onRelease;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_pressed |= event->button();
        if (event->button() == Qt::LeftButton)
            QPushButton::mousePressEvent(event);
        else
            event->accept(); // the base ignores other buttons; keep them here
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool wasPressed = m_pressed.testFlag(event->button());
        m_pressed &= ~Qt::MouseButtons(event->button());
        if (event->button() == Qt::LeftButton)
            QPushButton::mouseReleaseEvent(event);
        else
            event->accept();
        if (wasPressed && isEnabled() && rect().contains(event->position().toPoint()) && onRelease)
            onRelease(event->button());
    }

    // From the keyboard, Return and Space act as a left-button release.
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEnabled() &&
            onRelease) {
            event->accept();
            onRelease(Qt::LeftButton);
            return;
        }
        QPushButton::keyPressEvent(event);
    }

    void keyReleaseEvent(QKeyEvent* event) override
    {
        QPushButton::keyReleaseEvent(event);
        if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && isEnabled() && onRelease)
            onRelease(Qt::LeftButton);
    }

private:
    Qt::MouseButtons m_pressed;
};

Qt::CheckState checkState(LockState value)
{
    switch (value) {
    case LockState::Locked:
        return Qt::Checked;
    case LockState::Unavailable:
        return Qt::PartiallyChecked;
    case LockState::Unlocked:
        break;
    }
    return Qt::Unchecked;
}

QSize toTwips(const QSize& pixels)
{
    return {pixelsToTwips(pixels.width()), pixelsToTwips(pixels.height())};
}

} // namespace

UserListDialog::UserListDialog(Messenger& engine, std::function<bool()> isEndmode, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_engine(engine), m_state(engine.state()),
      m_isEndmode(std::move(isEndmode))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("送信画面"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Returning from this window to the main window counts as its activation.
    platform::markAsForm(*this);

    buildControls();
    connectEngine();

    resize(designSize());
    setMinimumSize(designSize());
    applyLayout();

    setFormEnabled(m_state.formEnabled());
    syncProgress(m_state.progressValue(), m_state.progressMaximum());
    syncProgressShown(m_state.progressShown());
    syncDestinations();
    syncChecks();
    syncSort();
    syncTextToSend(m_state.textToSend());
    if (m_state.dialogVisible())
        syncVisibility(true);
}

UserListDialog::~UserListDialog() = default;

QSize UserListDialog::designSize()
{
    // The design size was drawn for small bitmap fonts; with today's Japanese fonts it
    // shows two peers and clips the captions. The dialog starts half as large again,
    // and the layout rules, being proportional, place everything the same way.
    constexpr int scale2 = 3; // times one half
    return {kDesignWidth * scale2 / 2 / TwipsPerPixel, kDesignHeight * scale2 / 2 / TwipsPerPixel};
}

void UserListDialog::buildControls()
{
    m_sortFrame = new QGroupBox(QStringLiteral("ソート"), this);
    m_sortFrame->setObjectName(QStringLiteral("Frame1"));
    m_sortFrame->setToolTip(QStringLiteral("ユーザーリストのソートです"));
    auto* frameLayout = new QVBoxLayout(m_sortFrame);
    frameLayout->setContentsMargins(6, 0, 6, 2);
    frameLayout->setSpacing(0);
    // The style pads option buttons to well over a line of text; five of them would
    // push the lists down to a few rows, so each gets one line and a little air.
    const int rowHeight = japaneseLineHeight() + 2;
    m_sortGroup = new QButtonGroup(this);
    const std::array<QString, 4> captions = {QStringLiteral("ユーザー"), QStringLiteral("グループ"),
                                             QStringLiteral("IP アドレス"),
                                             QStringLiteral("ポート")};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(captions[static_cast<std::size_t>(i)], m_sortFrame);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setToolTip(QStringLiteral("ユーザーでソートします"));
        option->setFixedHeight(rowHeight);
        m_sortGroup->addButton(option, i);
        frameLayout->addWidget(option);
        m_sortOptions[static_cast<std::size_t>(i)] = option;
    }
    m_sortAscendingCheck = new QCheckBox(QStringLiteral("昇順"), m_sortFrame);
    m_sortAscendingCheck->setObjectName(QStringLiteral("Check3"));
    m_sortAscendingCheck->setToolTip(QStringLiteral("チェックで昇順です"));
    m_sortAscendingCheck->setFixedHeight(rowHeight);
    frameLayout->addWidget(m_sortAscendingCheck);

    m_sealedCheck = new QCheckBox(QStringLiteral("封書"), this);
    m_sealedCheck->setObjectName(QStringLiteral("Check1"));
    m_sealedCheck->setToolTip(QStringLiteral("送信時、未対応です"));
    m_lockCheck = new QCheckBox(QStringLiteral("施錠"), this);
    m_lockCheck->setObjectName(QStringLiteral("Check2"));
    m_lockCheck->setToolTip(QStringLiteral("送信時、未対応です"));
    m_lockCheck->setTristate(true); // partially checked is the greyed state

    m_cancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command1"));
    m_cancelButton->setToolTip(QStringLiteral("送信をキャンセルします。"));
    auto* send = new ReleaseButton(QStringLiteral("送信"), this);
    send->onRelease = [this](Qt::MouseButton button) {
        m_engine.send(button == Qt::LeftButton ? Messenger::Button::Left
                                               : Messenger::Button::Other);
    };
    m_sendButton = send;
    m_sendButton->setObjectName(QStringLiteral("Command2"));
    m_sendButton->setToolTip(QStringLiteral("アクティブになっていた文章を送信します"));
    m_refreshButton = new QPushButton(QStringLiteral("更新"), this);
    m_refreshButton->setObjectName(QStringLiteral("Command3"));
    m_refreshButton->setToolTip(QStringLiteral("リストを更新します。"));

    m_sendingLabel = new QLabel(QStringLiteral("送信中"), this);
    m_sendingLabel->setObjectName(QStringLiteral("Label1"));
    m_sendingLabel->setToolTip(QStringLiteral("送信中です。少々お待ちを..."));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setToolTip(QStringLiteral("送信中です。少々お待ちを..."));
    m_progressBar->setTextVisible(false);

    m_peersLabel = new QLabel(QStringLiteral("送信可能リスト"), this);
    m_peersLabel->setObjectName(QStringLiteral("Label3"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setToolTip(QStringLiteral("リストの一覧です。"));
    m_grid->setModel(m_state.peers());
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(japaneseLineHeight() + 2);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    resetColumnWidths();

    m_destinationsLabel = new QLabel(QStringLiteral("送信先"), this);
    m_destinationsLabel->setObjectName(QStringLiteral("Label2"));
    m_destinationNames = new QListWidget(this);
    m_destinationNames->setObjectName(QStringLiteral("List1"));
    m_destinationNames->setToolTip(
        QStringLiteral("送信先リストです。自分宛てには送れない仕様です"));

    m_textLabel = new QLabel(QStringLiteral("送信内容"), this);
    m_textLabel->setObjectName(QStringLiteral("Label4"));
    m_textEdit = new QPlainTextEdit(this);
    m_textEdit->setObjectName(QStringLiteral("RichTextBox1"));

    // The user's actions go to the engine; what they change comes back by its signals.
    connect(m_sortGroup, &QButtonGroup::idClicked, this,
            [this](int id) { m_state.setSortColumn(static_cast<SortColumn>(id)); });
    connect(m_sortAscendingCheck, &QCheckBox::clicked, this,
            [this](bool checked) { m_state.setSortAscending(checked); });
    connect(m_sealedCheck, &QCheckBox::clicked, this, [this](bool checked) {
        m_state.clickSealed(checked ? SealedState::Sealed : SealedState::Open);
    });
    // A click toggles the lock; the widget's own tri-state cycle would pass through
    // "greyed", which is the engine's to decide.
    connect(m_lockCheck, &QCheckBox::clicked, this, [this] {
        m_state.clickLocked(m_state.lockState() == LockState::Locked ? LockState::Unlocked
                                                                     : LockState::Locked);
        syncChecks();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] { m_state.cancel(); });
    connect(m_refreshButton, &QPushButton::clicked, this, [this] {
        m_state.refreshPeers();
        resetColumnWidths();
    });
    connect(m_grid, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { m_state.chooseRow(index.row()); });
    connect(m_destinationNames, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) {
                m_state.removeDestination(m_destinationNames->row(item));
            });
    connect(m_textEdit, &QPlainTextEdit::textChanged, this, &UserListDialog::textEdited);

    // Return on a peer or a destination acts as its double-click.
    m_grid->installEventFilter(this);
    m_destinationNames->installEventFilter(this);
    // The tab order follows the layout: sort box, check boxes, lists, text, buttons.
    const QList<QWidget*> order = {
        m_sortOptions[0],     m_sortOptions[1], m_sortOptions[2], m_sortOptions[3],
        m_sortAscendingCheck, m_sealedCheck,    m_lockCheck,      m_grid,
        m_destinationNames,   m_textEdit,       m_cancelButton,   m_sendButton,
        m_refreshButton};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));

    // Sorting and refreshing reset the model; keep the widths the user gave the columns.
    connect(m_state.peers(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_savedColumnWidths.clear();
        for (int c = 0; c < m_state.peers()->columnCount(); ++c)
            m_savedColumnWidths.append(m_grid->columnWidth(c));
    });
    connect(m_state.peers(), &QAbstractItemModel::modelReset, this, [this] {
        for (int c = 0; c < m_savedColumnWidths.size(); ++c)
            m_grid->setColumnWidth(c, m_savedColumnWidths.at(c));
    });
}

void UserListDialog::connectEngine()
{
    connect(&m_state, &UserListState::dialogVisibilityChanged, this,
            &UserListDialog::syncVisibility);
    connect(&m_state, &UserListState::formEnabledChanged, this, &UserListDialog::setFormEnabled);
    connect(&m_state, &UserListState::progressChanged, this, &UserListDialog::syncProgress);
    connect(&m_state, &UserListState::progressShownChanged, this,
            &UserListDialog::syncProgressShown);
    connect(&m_state, &UserListState::destinationsChanged, this, &UserListDialog::syncDestinations);
    connect(&m_state, &UserListState::checksChanged, this, &UserListDialog::syncChecks);
    connect(&m_state, &UserListState::sortStateChanged, this, &UserListDialog::syncSort);
    connect(&m_state, &UserListState::textToSendChanged, this, &UserListDialog::syncTextToSend);
}

void UserListDialog::resetColumnWidths()
{
    const int width = twipsToPixels(QRect(0, 0, kColumnWidth, 0)).width();
    for (int c = 0; c < 3; ++c)
        m_grid->setColumnWidth(c, width);
}

int UserListDialog::japaneseLineHeight() const
{
    // Japanese text comes from a fallback font whose lines are taller than the
    // default font's height(); measure it the way a label does.
    return fontMetrics()
        .boundingRect(QRect(), Qt::AlignLeft, QStringLiteral("送信ソート"))
        .height();
}

UserListMetrics UserListDialog::metrics() const
{
    UserListMetrics m{};
    m.frame1 = toTwips(m_sortFrame->sizeHint());
    m.check1 = toTwips(m_sealedCheck->sizeHint());
    m.check2 = toTwips(m_lockCheck->sizeHint());
    m.buttonHeight = pixelsToTwips(m_cancelButton->sizeHint().height());
    m.label1 = toTwips(m_sendingLabel->sizeHint());
    m.progressHeight = pixelsToTwips(qMax(8, fontMetrics().height() / 2 + 4));
    m.label2 = toTwips(m_destinationsLabel->sizeHint());
    m.label3 = toTwips(m_peersLabel->sizeHint());
    m.label4 = toTwips(m_textLabel->sizeHint());
    return m;
}

void UserListDialog::applyLayout()
{
    const QMap<QString, QRect> rects =
        userListLayout(pixelsToTwips(width()), pixelsToTwips(height()), metrics());
    const QList<QWidget*> controls = {
        m_sortFrame,         m_sealedCheck,      m_lockCheck,   m_cancelButton, m_sendButton,
        m_refreshButton,     m_sendingLabel,     m_progressBar, m_peersLabel,   m_grid,
        m_destinationsLabel, m_destinationNames, m_textLabel,   m_textEdit};
    for (QWidget* control : controls)
        control->setGeometry(twipsToPixels(rects.value(control->objectName())));
}

void UserListDialog::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    applyLayout();
}

bool UserListDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && !m_closing)
        m_state.activateDialog();
    return QWidget::event(event);
}

bool UserListDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_grid && m_grid->currentIndex().isValid()) {
                m_state.chooseRow(m_grid->currentIndex().row());
                return true;
            }
            if (watched == m_destinationNames && m_destinationNames->currentRow() >= 0) {
                m_state.removeDestination(m_destinationNames->currentRow());
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UserListDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc acts as "ｷｬﾝｾﾙ".
    if (event->key() == Qt::Key_Escape && m_cancelButton->isEnabled()) {
        m_state.cancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void UserListDialog::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    m_engine.close(m_isEndmode && m_isEndmode());
    event->accept();
}

void UserListDialog::setFormEnabled(bool chk)
{
    const QList<QWidget*> controls = {m_sortFrame,          m_sealedCheck,      m_lockCheck,
                                      m_sortAscendingCheck, m_cancelButton,     m_sendButton,
                                      m_refreshButton,      m_destinationNames, m_grid,
                                      m_sortOptions[0],     m_sortOptions[1],   m_sortOptions[2],
                                      m_sortOptions[3]};
    for (QWidget* control : controls)
        control->setEnabled(chk);
}

void UserListDialog::syncVisibility(bool visible)
{
    if (m_closing)
        return;
    // The engine reports changes only, so a dialog being shown was hidden and comes
    // up on top by itself.
    if (visible) {
        show();
        activateWindow();
    } else {
        hide();
    }
}

void UserListDialog::syncProgress(int value, int maximum)
{
    // A maximum of 0 would turn the bar into a busy indicator.
    m_progressBar->setRange(0, qMax(maximum, 1));
    m_progressBar->setValue(value);
}

void UserListDialog::syncProgressShown(bool shown)
{
    m_sendingLabel->setVisible(shown);
    m_progressBar->setVisible(shown);
}

void UserListDialog::syncDestinations()
{
    m_destinationNames->clear();
    m_destinationNames->addItems(m_state.destinationNames());
}

void UserListDialog::syncChecks()
{
    m_sealedCheck->setCheckState(m_state.sealedState() == SealedState::Sealed ? Qt::Checked
                                                                              : Qt::Unchecked);
    m_lockCheck->setCheckState(checkState(m_state.lockState()));
}

void UserListDialog::syncSort()
{
    const int option = static_cast<int>(m_state.sortColumn());
    if (option >= 0 && option < PeerColumnCount) {
        m_sortOptions[static_cast<std::size_t>(option)]->setChecked(true);
    } else {
        // An exclusive group cannot be emptied; a stored order outside the options
        // shows none selected.
        m_sortGroup->setExclusive(false);
        for (QRadioButton* button : m_sortOptions)
            button->setChecked(false);
        m_sortGroup->setExclusive(true);
    }
    m_sortAscendingCheck->setChecked(m_state.sortAscending());
}

void UserListDialog::syncTextToSend(const QString& crlfText)
{
    const QString text = platform::crlfToLf(crlfText);
    if (m_updatingText || text == m_textEdit->toPlainText())
        return;
    m_updatingText = true;
    m_textEdit->setPlainText(text);
    m_updatingText = false;
}

void UserListDialog::textEdited()
{
    if (m_updatingText)
        return;
    // Only the user's edits reach the engine, so a text that nobody touched keeps
    // its exact line breaks.
    m_updatingText = true;
    m_state.setTextToSend(platform::toCrlf(m_textEdit->toPlainText()));
    m_updatingText = false;
}

} // namespace velmar::ipmsg
