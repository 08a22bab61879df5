#include "text/text_window.h"

#include "common/text_bytes.h"
#include "platform/message_boxes.h"
#include "settings/colour_value.h"
#include "settings/keys.h"
#include "settings/settings_store.h"
#include "text/host.h"
#include "text/reply_colors.h"
#include "text/text_area.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QSysInfo>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>
#include <QtEndian>
#include <utility>

namespace velmar::text {

namespace {

constexpr quint32 IPMSG_READMSG = 0x30;
constexpr quint32 IPMSG_DELMSG = 0x31;

const QString DropTip = QStringLiteral("テキストファイルの、ドラッグ&ドロップ対応しています。");

// A file drop from the desktop is taken only when it offers copy, move and link.
bool isFileDrop(const QDropEvent* e)
{
    return e->mimeData() && e->mimeData()->hasUrls() &&
           e->possibleActions() == (Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
}

bool hasLineLongerThan(QStringView text, qsizetype limit)
{
    qsizetype length = 0;
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n') {
            length = 0;
        } else if (++length > limit) {
            return true;
        }
    }
    return false;
}

} // namespace

TextWindow::TextWindow(Host& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("Form1"));
    setAcceptDrops(true);

    m_area = new TextArea(this);
    m_area->setFont(QFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    m_area->setToolTip(
        QStringLiteral("テキストファイルは、このボックスの外へドラッグ&ドロップするといいよ。"));
    connect(m_area, &TextArea::filesDropped, this, &TextWindow::openDroppedFiles);

    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    statusBar->setToolTip(DropTip);
    // A label, not showMessage(): temporary messages would erase the simple text.
    m_statusLabel = new QLabel(statusBar);
    statusBar->addWidget(m_statusLabel, 1);
    // Beside the simple text, which other parts of the program read: why the text
    // cannot be edited, and the encoding of a file that reads in more than one.
    readOnlyNote = new QLabel(statusBar);
    readOnlyNote->setObjectName(QStringLiteral("readOnlyNote"));
    readOnlyNote->hide();
    statusBar->addPermanentWidget(readOnlyNote);
    encodingChoice = new QComboBox(statusBar);
    encodingChoice->setObjectName(QStringLiteral("encodingChoice"));
    encodingChoice->setToolTip(QStringLiteral("文字コード: 別の文字コードで読み直す"));
    encodingChoice->hide();
    statusBar->addPermanentWidget(encodingChoice);
    connect(encodingChoice, &QComboBox::activated, this, &TextWindow::rereadFile);

    sealButton = new QPushButton(QStringLiteral("封書"), this);
    sealButton->setObjectName(QStringLiteral("Command1"));
    sealButton->setToolTip(DropTip);
    sealButton->hide();
    connect(sealButton, &QPushButton::clicked, this, &TextWindow::sealButtonClicked);
    // The click that brings a background window forward is no request to open it.
    sealButton->installEventFilter(this);

    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("Text1"));
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setToolTip(QStringLiteral("封書施錠のパスワード"));
    passwordEdit->hide();
    // Enter in the password box does what the button does.
    connect(passwordEdit, &QLineEdit::returnPressed, this, &TextWindow::sealButtonClicked);

    const QString name = m_host.applicationName();
    setCaption(name);
    setStatusText(name);
    resize(400, 300);
    layoutControls();
}

TextWindow::~TextWindow() = default;

QString TextWindow::caption() const
{
    return windowTitle();
}

void TextWindow::setCaption(const QString& caption)
{
    setWindowTitle(caption);
}

void TextWindow::setText(const QString& iStr)
{
    if (m_sealed)
        return;
    m_rawText = iStr;
    m_rawTail.clear();
    m_undecodedBytes = false;
    // Whatever the document would change (a lone CR or LF, U+2029, frame characters, a
    // line cut for display) cannot be edited there without losing the original.
    const bool exact = m_area->setCrlfText(iStr, !m_rawMode);
    setRawMode(!exact);
}

QString TextWindow::text() const
{
    if (m_sealed)
        return {};
    return m_rawMode ? m_rawText : m_area->crlfText();
}

QString TextWindow::selectedText() const
{
    if (m_sealed)
        return {};
    return m_rawMode ? m_rawText : m_area->selectedCrlfText();
}

void TextWindow::replaceSelectedText(const QString& iStr)
{
    if (!m_sealed)
        m_area->replaceSelection(iStr);
}

void TextWindow::appendText(const QString& iStr)
{
    if (!m_sealed)
        m_area->appendCrlfText(iStr);
}

void TextWindow::appendMessage(const QString& iStr)
{
    // Appending keeps the cost to the new text: a flooding sender's collecting window
    // takes hundreds of messages, and setting the whole text each time would not.
    m_area->finishLoading();
    if (!m_rawMode && !TextArea::holdsExactly(iStr)) {
        m_rawText = m_area->crlfText();
        m_rawTail.clear();
        m_undecodedBytes = false;
        setRawMode(true);
    }
    if (m_rawMode)
        m_rawText += iStr;
    m_area->appendCrlfText(iStr);
}

void TextWindow::setRawBytes(const QByteArray& bytes)
{
    if (m_sealed)
        return;
    const qsizetype even = bytes.size() & ~qsizetype(1);
    m_rawText = QString(reinterpret_cast<const QChar*>(bytes.constData()), even / 2);
    if (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
        for (QChar& c : m_rawText)
            c = QChar(qFromLittleEndian(c.unicode()));
    }
    m_rawTail = bytes.mid(even);
    m_undecodedBytes = true;
    m_area->setCrlfText(m_rawText);
    setRawMode(true);
}

void TextWindow::setFileReadings(const QByteArray& bytes, TextEncoding encoding,
                                 const QList<TextEncoding>& readings)
{
    m_fileEncoding = encoding;
    m_fileReadings = readings.size() > 1 ? readings : QList<TextEncoding>();
    // The bytes are kept only while there is another reading to offer.
    m_fileBytes = m_fileReadings.isEmpty() ? QByteArray() : bytes;
    m_readFileName = fileName;
    encodingChoice->clear();
    for (const TextEncoding reading : std::as_const(m_fileReadings))
        encodingChoice->addItem(QStringLiteral("文字コード: ") + encodingName(reading),
                                int(reading));
    encodingChoice->setCurrentIndex(encodingChoice->findData(int(encoding)));
    encodingChoice->setVisible(!m_fileReadings.isEmpty());
}

std::optional<TextEncoding> TextWindow::fileEncoding(const QString& path) const
{
    if (!m_fileEncoding || path != m_readFileName)
        return std::nullopt;
    return m_fileEncoding;
}

void TextWindow::rereadFile(int index)
{
    const auto encoding = static_cast<TextEncoding>(encodingChoice->itemData(index).toInt());
    if (encoding == m_fileEncoding || m_fileBytes.isEmpty())
        return;
    const std::optional<QString> text = decodeFileBytesAs(m_fileBytes, encoding);
    if (!text) {
        encodingChoice->setCurrentIndex(encodingChoice->findData(int(*m_fileEncoding)));
        m_host.messageBoxes().show(
            QStringLiteral("注意"),
            QStringLiteral("このファイルは %1 として読めません。").arg(encodingName(encoding)));
        return;
    }
    // One undo step, like any replacement of the whole text.
    setText(*text);
    m_fileEncoding = encoding;
    applyReplyColours();
}

void TextWindow::setRawMode(bool raw)
{
    m_rawMode = raw;
    if (!raw) {
        readOnlyNote->hide();
    } else {
        const QString why =
            m_undecodedBytes ? QStringLiteral("テキストとして読めないバイト列のため、編集できません"
                                              "（バイト列はそのまま保存します）")
            : hasLineLongerThan(m_rawText, TextArea::LongLineLimit)
                ? QStringLiteral("%1 文字を超える行があるため、編集できません"
                                 "（テキストはそのまま保っています）")
                      .arg(QLocale(QLocale::English).toString(TextArea::LongLineLimit))
                : QStringLiteral("編集欄では保てない改行や文字を含むため、編集できません"
                                 "（テキストはそのまま保っています）");
        readOnlyNote->setText(QStringLiteral("読み取り専用: ") + why);
        readOnlyNote->setToolTip(readOnlyNote->text());
        readOnlyNote->show();
    }
    // Read-only, not disabled: a long undecodable text can still be scrolled through
    // and selected.
    m_area->setReadOnly(raw);
    if (raw)
        m_area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

QByteArray TextWindow::rawBytes() const
{
    QByteArray bytes = utf16LeBytes(text());
    if (isRawMode())
        bytes += m_rawTail;
    return bytes;
}

void TextWindow::applyFont()
{
    settings::SettingsStore& store = m_host.settings();
    QFont font = m_area->font();
    const QString name = store.read(settings::keys::FontName);
    if (!settings::isUnset(name))
        font.setFamily(name);
    if (const auto bold = settings::read(store, settings::keys::FontBoldFlag))
        font.setBold(*bold);
    if (const auto italic = settings::read(store, settings::keys::FontItalicFlag))
        font.setItalic(*italic);
    if (const auto points = settings::read(store, settings::keys::FontPoints))
        font.setPointSizeF(*points);
    if (const auto strike = settings::read(store, settings::keys::FontStrikeOutFlag))
        font.setStrikeOut(*strike);
    if (const auto underline = settings::read(store, settings::keys::FontUnderlineFlag))
        font.setUnderline(*underline);
    m_area->setFont(font);

    // An ordinary window shows the application name in its status bar; any other text
    // there is the sender line of a received message.
    const bool ordinary = statusText() == m_host.applicationName();
    const QString background = store.read(ordinary ? settings::keys::BackgroundColour
                                                   : settings::keys::MessageBackgroundColour);
    if (settings::isUnset(background))
        return;
    if (const auto colour = settings::colorFromSetting(background.trimmed(), m_area->palette()))
        setTextBackground(*colour);
}

QStringList TextWindow::colourTable() const
{
    return buildColorTable(m_host.settings().read(settings::keys::ReplyColours));
}

void TextWindow::applyReplyColours()
{
    if (m_host.activeWindow() == nullptr || m_area->document()->isEmpty())
        return;
    const QPalette palette = m_area->palette();
    // A "FontColor" that is no number leaves the area's own text colour.
    const std::optional<QColor> base = settings::colorFromSetting(
        m_host.settings().read(settings::keys::FontColour).trimmed(), palette);

    const LineColorer colorer(colourTable());
    QList<std::optional<QColor>> ruleColours;
    for (const ColorRule& rule : colorer.rules()) {
        const auto colour = settings::colorFromValue(rule.colour, palette);
        ruleColours.append(colour ? colour : base);
    }
    // The caret and the selection stay where the user left them.
    m_area->setColouring(colorer, ruleColours, base);
}

QString TextWindow::statusText() const
{
    return m_statusLabel->text();
}

void TextWindow::setStatusText(const QString& text)
{
    m_statusLabel->setText(text);
}

void TextWindow::setTextBackground(const QColor& colour)
{
    QPalette palette = m_area->palette();
    palette.setColor(QPalette::Base, colour);
    m_area->setPalette(palette);
}

void TextWindow::showSeal(bool withPassword)
{
    m_sealed = true;
    // Neither focus nor keys: a password typed after a click on the title bar must
    // not end up in the message.
    m_area->setEnabled(false);
    sealButton->show();
    sealButton->raise();
    passwordEdit->clear();
    passwordEdit->setVisible(withPassword);
    passwordEdit->raise();
    layoutControls();
}

void TextWindow::openSeal()
{
    m_sealed = false;
    m_area->setEnabled(true);
    sealButton->hide();
    passwordEdit->hide();
    if (noticeOwed || !collectedNotices.isEmpty())
        sendNotice(IPMSG_READMSG);
    Q_EMIT sealOpened();
}

void TextWindow::sealButtonClicked()
{
    if (!m_sealed)
        return;
    if (passwordEdit->isHidden() ||
        passwordEdit->text() == m_host.settings().read(settings::keys::Password)) {
        openSeal();
        return;
    }
    // A wrong password only clears the box; there is no retry limit and no message.
    passwordEdit->clear();
}

void TextWindow::sendNotice(quint32 command)
{
    if (std::exchange(noticeOwed, false))
        m_host.sendCommand(command, replyAddress, replyPort, packetNumber);
    for (const OwedNotice& notice : std::exchange(collectedNotices, {}))
        m_host.sendCommand(command, notice.address, notice.port, notice.packetNumber);
}

void TextWindow::activate()
{
    // A mouse press that activates the window is being delivered right now; it ends
    // before the queued reset runs.
    m_activatedJustNow = true;
    QTimer::singleShot(0, this, [this] { m_activatedJustNow = false; });
    // A sealed window's text takes no focus: the seal (or its password box) does, so
    // that the main window gives the focus back here, not to the window before.
    if (m_sealed && !m_area->hasFocus())
        (passwordEdit->isHidden() ? static_cast<QWidget*>(sealButton) : passwordEdit)->setFocus();
    m_host.applyImeSetting();
    applyFont();
    applyReplyColours();
}

bool TextWindow::isCurrentWindow() const
{
    const auto* frame = qobject_cast<const QMdiSubWindow*>(parentWidget());
    if (!frame || !frame->mdiArea())
        return true; // a window of its own is active when it receives a click
    return frame->mdiArea()->currentSubWindow() == frame;
}

bool TextWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The press that activates a background window does not press its seal button,
    // whichever of activation and press arrives first.
    if (watched == sealButton && event->type() == QEvent::MouseButtonPress &&
        (m_activatedJustNow || !isCurrentWindow()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TextWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    // Too small in the normal state: both sides go back to the minimum, even when only
    // one was too small. Inside the main window the sub-window frame is what resizes.
    QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (frame == nullptr && isWindow())
        frame = this;
    if (frame != nullptr && !(frame->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) &&
        (width() < MinimumWidth || height() < MinimumHeight)) {
        frame->resize(frame->size() + QSize(MinimumWidth, MinimumHeight) - size());
    }
    layoutControls();
}

void TextWindow::layoutControls()
{
    const int statusHeight = statusBar->sizeHint().height();
    const int statusTop = height() - statusHeight;
    statusBar->setGeometry(0, statusTop, width(), statusHeight);

    const QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (frame == nullptr)
        frame = this;
    if (frame->windowState() & Qt::WindowMinimized)
        return;
    int areaWidth = width() - 2 * AreaInset;
    if (areaWidth < 0)
        areaWidth = width();
    int areaHeight = statusTop - 2 * AreaInset;
    if (areaHeight < 0)
        areaHeight = 1;
    m_area->setGeometry(AreaInset, AreaInset, areaWidth, areaHeight);

    if (!sealButton->isHidden())
        sealButton->setGeometry(m_area->geometry());
    if (!passwordEdit->isHidden()) {
        const int boxWidth = qMin(areaWidth, 160);
        passwordEdit->setGeometry(AreaInset + (areaWidth - boxWidth) / 2, AreaInset, boxWidth,
                                  passwordEdit->sizeHint().height());
    }
}

void TextWindow::closeEvent(QCloseEvent* e)
{
    // An unopened sealed message owes its sender a discard notice instead of a read one.
    if (m_sealed && (noticeOwed || !collectedNotices.isEmpty()))
        sendNotice(IPMSG_DELMSG);
    if (m_sealed)
        Q_EMIT sealDiscarded();
    e->accept();
}

void TextWindow::dragEnterEvent(QDragEnterEvent* e)
{
    if (isFileDrop(e))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextWindow::dragMoveEvent(QDragMoveEvent* e)
{
    if (isFileDrop(e))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextWindow::dropEvent(QDropEvent* e)
{
    if (!isFileDrop(e)) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    const QList<QUrl> urls = e->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!path.isEmpty())
            m_host.openFile(path);
    }
}

void TextWindow::openDroppedFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        m_host.openFile(path);
}

void TextWindow::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton && childAt(e->position().toPoint()) == nullptr) {
        m_host.popupFileMenu(e->globalPosition().toPoint());
        e->accept();
        return;
    }
    QWidget::mouseReleaseEvent(e);
}

} // namespace velmar::text
