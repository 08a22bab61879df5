#include "ipmsg/ui/user_list_dialog.h"

#include "ipmsg/messenger.h"
#include "platform/form_marker.h"
#include "platform/line_breaks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
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
class SendButton final : public QPushButton {
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

private:
    Qt::MouseButtons m_pressed;
};

Qt::CheckState checkState(int value)
{
    switch (value) {
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

QSize toTwips(const QSize& pixels)
{
    return {pixelsToTwips(pixels.width()), pixelsToTwips(pixels.height())};
}

} // namespace

UserListDialog::UserListDialog(Messenger& engine, std::function<bool()> isEndmode, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_engine(engine), m_isEndmode(std::move(isEndmode))
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

    setFormEnabled(m_engine.formEnabled());
    syncProgress(m_engine.progressValue(), m_engine.progressMaximum());
    syncProgressShown(m_engine.progressShown());
    syncDestinations();
    syncChecks();
    syncSort();
    syncRichText(m_engine.textToSend());
    if (m_engine.dialogVisible())
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
    m_frame1 = new QGroupBox(QStringLiteral("ソート"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setToolTip(QStringLiteral("ユーザーリストのソートです"));
    auto* frameLayout = new QVBoxLayout(m_frame1);
    frameLayout->setContentsMargins(6, 0, 6, 2);
    frameLayout->setSpacing(0);
    // The style pads option buttons to well over a line of text; five of them would
    // push the lists down to a few rows, so each gets one line and a little air.
    const int rowHeight = japaneseLineHeight() + 2;
    m_options = new QButtonGroup(this);
    const std::array<QString, 4> captions = {QStringLiteral("ユーザー"), QStringLiteral("グループ"),
                                             QStringLiteral("IP アドレス"),
                                             QStringLiteral("ポート")};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(captions[static_cast<std::size_t>(i)], m_frame1);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        option->setToolTip(QStringLiteral("ユーザーでソートします"));
        option->setFixedHeight(rowHeight);
        m_options->addButton(option, i);
        frameLayout->addWidget(option);
        m_option1[static_cast<std::size_t>(i)] = option;
    }
    m_sortAscending = new QCheckBox(QStringLiteral("昇順"), m_frame1);
    m_sortAscending->setObjectName(QStringLiteral("Check3"));
    m_sortAscending->setToolTip(QStringLiteral("チェックで昇順です"));
    m_sortAscending->setFixedHeight(rowHeight);
    frameLayout->addWidget(m_sortAscending);

    m_sealedCheck = new QCheckBox(QStringLiteral("封書"), this);
    m_sealedCheck->setObjectName(QStringLiteral("Check1"));
    m_sealedCheck->setToolTip(QStringLiteral("送信時、未対応です"));
    m_lockCheck = new QCheckBox(QStringLiteral("施錠"), this);
    m_lockCheck->setObjectName(QStringLiteral("Check2"));
    m_lockCheck->setToolTip(QStringLiteral("送信時、未対応です"));
    m_lockCheck->setTristate(true); // partially checked is the greyed state

    m_command1 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setToolTip(QStringLiteral("送信をキャンセルします。"));
    auto* send = new SendButton(QStringLiteral("送信"), this);
    send->onRelease = [this](Qt::MouseButton button) {
        m_engine.send(button == Qt::LeftButton ? Messenger::Button::Left
                                               : Messenger::Button::Other);
    };
    m_command2 = send;
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setToolTip(QStringLiteral("アクティブになっていた文章を送信します"));
    m_command3 = new QPushButton(QStringLiteral("更新"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setToolTip(QStringLiteral("リストを更新します。"));

    m_label1 = new QLabel(QStringLiteral("送信中"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setToolTip(QStringLiteral("送信中です。少々お待ちを..."));
    m_progressBar1 = new QProgressBar(this);
    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setToolTip(QStringLiteral("送信中です。少々お待ちを..."));
    m_progressBar1->setTextVisible(false);

    m_label3 = new QLabel(QStringLiteral("送信可能リスト"), this);
    m_label3->setObjectName(QStringLiteral("Label3"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("MSFlexGrid1"));
    m_grid->setToolTip(QStringLiteral("リストの一覧です。"));
    m_grid->setModel(m_engine.peers());
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(japaneseLineHeight() + 2);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    resetColumnWidths();

    m_label2 = new QLabel(QStringLiteral("送信先"), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_destinationNames = new QListWidget(this);
    m_destinationNames->setObjectName(QStringLiteral("List1"));
    m_destinationNames->setToolTip(
        QStringLiteral("送信先リストです。自分宛てには送れない仕様です"));

    m_label4 = new QLabel(QStringLiteral("送信内容"), this);
    m_label4->setObjectName(QStringLiteral("Label4"));
    m_richTextBox1 = new QPlainTextEdit(this);
    m_richTextBox1->setObjectName(QStringLiteral("RichTextBox1"));

    // The user's actions go to the engine; what they change comes back by its signals.
    connect(m_options, &QButtonGroup::idClicked, this,
            [this](int id) { m_engine.setSortOption(id); });
    connect(m_sortAscending, &QCheckBox::clicked, this,
            [this](bool checked) { m_engine.setSortAscending(checked ? 1 : 0); });
    connect(m_sealedCheck, &QCheckBox::clicked, this,
            [this](bool checked) { m_engine.clickSealed(checked ? 1 : 0); });
    // A click toggles the lock; the widget's own tri-state cycle would pass through
    // "greyed", which is the engine's to decide.
    connect(m_lockCheck, &QCheckBox::clicked, this, [this] {
        m_engine.clickLocked(m_engine.lockCheck() == 1 ? 0 : 1);
        syncChecks();
    });
    connect(m_command1, &QPushButton::clicked, this, [this] { m_engine.cancel(); });
    connect(m_command3, &QPushButton::clicked, this, [this] {
        m_engine.refreshPeers();
        resetColumnWidths();
    });
    connect(m_grid, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { m_engine.chooseRow(index.row()); });
    connect(m_destinationNames, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) {
                m_engine.removeDestination(m_destinationNames->row(item));
            });
    connect(m_richTextBox1, &QPlainTextEdit::textChanged, this, &UserListDialog::richTextEdited);

    // Sorting and refreshing reset the model; keep the widths the user gave the columns.
    connect(m_engine.peers(), &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        m_savedColumnWidths.clear();
        for (int c = 0; c < m_engine.peers()->columnCount(); ++c)
            m_savedColumnWidths.append(m_grid->columnWidth(c));
    });
    connect(m_engine.peers(), &QAbstractItemModel::modelReset, this, [this] {
        for (int c = 0; c < m_savedColumnWidths.size(); ++c)
            m_grid->setColumnWidth(c, m_savedColumnWidths.at(c));
    });
}

void UserListDialog::connectEngine()
{
    connect(&m_engine, &Messenger::dialogVisibilityChanged, this, &UserListDialog::syncVisibility);
    connect(&m_engine, &Messenger::formEnabledChanged, this, &UserListDialog::setFormEnabled);
    connect(&m_engine, &Messenger::progressChanged, this, &UserListDialog::syncProgress);
    connect(&m_engine, &Messenger::progressShownChanged, this, &UserListDialog::syncProgressShown);
    connect(&m_engine, &Messenger::destinationsChanged, this, &UserListDialog::syncDestinations);
    connect(&m_engine, &Messenger::checksChanged, this, &UserListDialog::syncChecks);
    connect(&m_engine, &Messenger::sortStateChanged, this, &UserListDialog::syncSort);
    connect(&m_engine, &Messenger::richTextChanged, this, &UserListDialog::syncRichText);
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
    m.frame1 = toTwips(m_frame1->sizeHint());
    m.check1 = toTwips(m_sealedCheck->sizeHint());
    m.check2 = toTwips(m_lockCheck->sizeHint());
    m.buttonHeight = pixelsToTwips(m_command1->sizeHint().height());
    m.label1 = toTwips(m_label1->sizeHint());
    m.progressHeight = pixelsToTwips(qMax(8, fontMetrics().height() / 2 + 4));
    m.label2 = toTwips(m_label2->sizeHint());
    m.label3 = toTwips(m_label3->sizeHint());
    m.label4 = toTwips(m_label4->sizeHint());
    return m;
}

void UserListDialog::applyLayout()
{
    const QMap<QString, QRect> rects =
        userListLayout(pixelsToTwips(width()), pixelsToTwips(height()), metrics());
    const QList<QWidget*> controls = {m_frame1,   m_sealedCheck, m_lockCheck, m_command1,
                                      m_command2, m_command3,    m_label1,    m_progressBar1,
                                      m_label3,   m_grid,        m_label2,    m_destinationNames,
                                      m_label4,   m_richTextBox1};
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
        m_engine.activateDialog();
    return QWidget::event(event);
}

void UserListDialog::closeEvent(QCloseEvent* event)
{
    m_closing = true;
    m_engine.close(m_isEndmode && m_isEndmode());
    event->accept();
}

void UserListDialog::setFormEnabled(bool chk)
{
    const QList<QWidget*> controls = {m_frame1,    m_sealedCheck, m_lockCheck,  m_sortAscending,
                                      m_command1,  m_command2,    m_command3,   m_destinationNames,
                                      m_grid,      m_option1[0],  m_option1[1], m_option1[2],
                                      m_option1[3]};
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
    m_progressBar1->setRange(0, qMax(maximum, 1));
    m_progressBar1->setValue(value);
}

void UserListDialog::syncProgressShown(bool shown)
{
    m_label1->setVisible(shown);
    m_progressBar1->setVisible(shown);
}

void UserListDialog::syncDestinations()
{
    m_destinationNames->clear();
    m_destinationNames->addItems(m_engine.destinationNames());
}

void UserListDialog::syncChecks()
{
    m_sealedCheck->setCheckState(m_engine.sealedCheck() == 1 ? Qt::Checked : Qt::Unchecked);
    m_lockCheck->setCheckState(checkState(m_engine.lockCheck()));
}

void UserListDialog::syncSort()
{
    const int option = m_engine.sortOption();
    if (option >= 0 && option < 4) {
        m_option1[static_cast<std::size_t>(option)]->setChecked(true);
    } else {
        // An exclusive group cannot be emptied; a stored order outside the options
        // shows none selected.
        m_options->setExclusive(false);
        for (QRadioButton* button : m_option1)
            button->setChecked(false);
        m_options->setExclusive(true);
    }
    m_sortAscending->setChecked(m_engine.sortAscending() != 0);
}

void UserListDialog::syncRichText(const QString& crlfText)
{
    const QString text = platform::crlfToLf(crlfText);
    if (m_updatingText || text == m_richTextBox1->toPlainText())
        return;
    m_updatingText = true;
    m_richTextBox1->setPlainText(text);
    m_updatingText = false;
}

void UserListDialog::richTextEdited()
{
    if (m_updatingText)
        return;
    // Only the user's edits reach the engine, so a text that nobody touched keeps
    // its exact line breaks.
    m_updatingText = true;
    m_engine.setTextToSend(platform::toCrlf(m_richTextBox1->toPlainText()));
    m_updatingText = false;
}

} // namespace velmar::ipmsg
