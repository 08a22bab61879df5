#include "text/text_area.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QUrl>

namespace velmar::text {

namespace {

// Characters QTextCursor::insertText turns into a block break besides "\n".
constexpr char16_t BeginningOfFrame = 0xFDD0;
constexpr char16_t EndOfFrame = 0xFDD1;

struct DocumentText {
    QString text;
    // What the document makes of `text` differs from the CRLF text it came from.
    bool changed = false;
    // Display-line numbers that continue a cut long line.
    QList<int> continuations;
};

// The text the document gets: CRLF becomes LF, lines longer than LongLineLimit are cut
// into display lines. One pass also notes whatever the document would change: a lone
// CR or LF (it breaks a line that reads back as CRLF), a paragraph separator and the
// two frame characters.
DocumentText toDocumentText(const QString& crlfText)
{
    DocumentText out;
    out.text.reserve(crlfText.size());
    const QChar* const begin = crlfText.constData();
    const qsizetype size = crlfText.size();
    qsizetype lineStart = 0;
    int line = 0;
    const auto endLine = [&](qsizetype end) {
        const qsizetype length = end - lineStart;
        if (length <= TextArea::LongLineLimit) {
            out.text.append(begin + lineStart, length);
            return;
        }
        out.changed = true;
        for (qsizetype at = 0; at < length; at += TextArea::LongLineChunk) {
            if (at > 0) {
                out.text += u'\n';
                out.continuations.append(++line);
            }
            out.text.append(begin + lineStart + at, qMin(TextArea::LongLineChunk, length - at));
        }
    };
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = begin[i].unicode();
        if (c == u'\r' && i + 1 < size && begin[i + 1] == u'\n') {
            endLine(i);
            out.text += u'\n';
            ++line;
            lineStart = i + 2;
            ++i;
        } else if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator ||
                   c == BeginningOfFrame || c == EndOfFrame) {
            out.changed = true;
            endLine(i);
            out.text += u'\n';
            ++line;
            lineStart = i + 1;
        }
    }
    endLine(size);
    return out;
}

// Local files among dropped URLs; empty when the drop holds none.
QStringList droppedFiles(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    const QList<QUrl> urls = data->urls();
    for (const QUrl& url : urls) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    }
    return paths;
}

// A file drop from the desktop is taken only when it offers copy, move and link.
bool offersAllActions(const QDropEvent* e)
{
    return e->possibleActions() == (Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
}

bool isContinuation(const QTextBlock& block)
{
    return block.userState() > 0 && (block.userState() & 1) != 0;
}

} // namespace

TextArea::TextArea(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("v_windows"));
    connect(document(), &QTextDocument::contentsChange, this, &TextArea::contentsChanged);
    m_loadTimer = new QTimer(this);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, [this] { loadSlice(LoadChunk); });
}

void TextArea::loadSlice(qsizetype length)
{
    if (!isLoading())
        return;
    const qsizetype n = qMin(length, m_pendingText.size() - m_pendingAt);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(m_pendingText.mid(m_pendingAt, n));
    m_pendingAt += n;
    if (m_pendingAt < m_pendingText.size())
        return;
    m_pendingText = QString();
    m_pendingAt = 0;
    m_loadTimer->stop();
    // The text arrived in pieces; none of them is an edit to undo.
    document()->setUndoRedoEnabled(true);
}

void TextArea::finishLoading()
{
    if (isLoading())
        loadSlice(m_pendingText.size());
}

bool TextArea::setCrlfText(const QString& crlfText, bool undoable)
{
    DocumentText converted = toDocumentText(crlfText);
    ++m_generation;
    QTextDocument* doc = document();
    if (isLoading()) {
        m_loadTimer->stop();
        m_pendingText = QString();
        m_pendingAt = 0;
        doc->setUndoRedoEnabled(true);
    }
    const bool keepUndo = undoable && !converted.changed && !doc->isEmpty() &&
                          doc->isUndoRedoEnabled() &&
                          doc->characterCount() + crlfText.size() <= UndoLimit;
    // The generation bump makes every block stale; no need to walk them on the way.
    m_inColouring = true;
    if (keepUndo) {
        QTextCursor cursor(doc);
        cursor.beginEditBlock();
        cursor.select(QTextCursor::Document);
        cursor.insertText(converted.text);
        cursor.endEditBlock();
        cursor.movePosition(QTextCursor::Start);
        setTextCursor(cursor);
    } else if (!converted.changed && converted.text.size() > ProgressiveLimit) {
        // The first piece ends at a line break so the first screen is whole lines.
        qsizetype first = converted.text.indexOf(u'\n', LoadChunk);
        first = first < 0 ? converted.text.size() : first + 1;
        setPlainText(converted.text.left(first));
        if (first < converted.text.size()) {
            doc->setUndoRedoEnabled(false);
            m_pendingText = std::move(converted.text);
            m_pendingAt = first;
            m_loadTimer->start();
        }
    } else {
        setPlainText(converted.text);
    }
    m_inColouring = false;
    if (!converted.continuations.isEmpty()) {
        QTextBlock block = doc->begin();
        int number = 0;
        for (const int continuation : std::as_const(converted.continuations)) {
            while (number < continuation && block.isValid()) {
                block = block.next();
                ++number;
            }
            if (block.isValid())
                block.setUserState(1);
        }
    }
    viewport()->update();
    return !converted.changed;
}

QString TextArea::crlfText() const
{
    const_cast<TextArea*>(this)->finishLoading();
    // The raw text keeps U+00A0 (toPlainText() turns it into a space) and separates
    // blocks with U+2029. A U+2029 of the text itself has become a block break too, so
    // every one of them is a line break here.
    const QString raw = document()->toRawText();
    QString out;
    out.reserve(raw.size() + document()->blockCount());
    const QChar* begin = raw.constData();
    const QChar* const end = begin + raw.size();
    for (const QChar* p = begin; p != end; ++p) {
        if (*p == QChar::ParagraphSeparator) {
            out.append(begin, p - begin);
            out += u"\r\n";
            begin = p + 1;
        }
    }
    out.append(begin, end - begin);
    return out;
}

QString TextArea::selectedCrlfText() const
{
    const_cast<TextArea*>(this)->finishLoading();
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return {};
    // selectedText() keeps U+00A0 and marks block breaks with U+2029; a U+2029 of the
    // text itself would have become a block break, so each one is a line break.
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QStringLiteral("\r\n"));
    return text;
}

void TextArea::replaceSelection(const QString& crlfText)
{
    finishLoading();
    QTextCursor cursor = textCursor();
    QString text = crlfText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(text);
    setTextCursor(cursor);
}

void TextArea::appendCrlfText(const QString& crlfText)
{
    finishLoading();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    QString text = crlfText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    cursor.insertText(text);
}

bool TextArea::holdsExactly(const QString& crlfText)
{
    return !toDocumentText(crlfText).changed;
}

void TextArea::setColouring(const LineColorer& colorer,
                            const QList<std::optional<QColor>>& ruleColours,
                            const std::optional<QColor>& base)
{
    m_colouring = Colouring{colorer, ruleColours, base};
    ++m_generation;
    viewport()->update();
}

bool TextArea::isStale(const QTextBlock& block) const
{
    const int state = block.userState();
    return state < 0 || (state >> 1) != m_generation;
}

bool TextArea::colourBlock(QTextBlock block)
{
    if (!m_colouring || !isStale(block))
        return false;
    const bool continuation = isContinuation(block);
    block.setUserState((m_generation << 1) | (continuation ? 1 : 0));

    // A cut long line takes the colour of its first display line.
    QTextBlock head = block;
    while (isContinuation(head) && head.previous().isValid())
        head = head.previous();
    const QTextBlock next = head.next();
    const bool lastLine = !next.isValid();
    const bool cut = next.isValid() && isContinuation(next);
    const int entry = m_colouring->colorer.isEmpty()
                          ? -1
                          : m_colouring->colorer.decide(head.text(), lastLine && !cut);
    const std::optional<QColor> colour =
        entry < 0 ? m_colouring->base : m_colouring->ruleColours.value(entry);

    QTextLayout* layout = block.layout();
    if (!colour || block.length() <= 1) {
        if (layout->formats().isEmpty())
            return false;
        layout->clearFormats();
        return true;
    }
    QTextLayout::FormatRange range;
    range.start = 0;
    range.length = block.length() - 1;
    range.format.setForeground(*colour);
    const QList<QTextLayout::FormatRange> old = layout->formats();
    if (old.size() == 1 && old.first().start == 0 && old.first().length == range.length &&
        old.first().format == range.format)
        return false;
    layout->setFormats({range});
    return true;
}

void TextArea::markColoured(int from, int to)
{
    if (to <= from)
        return;
    m_inColouring = true;
    document()->markContentsDirty(from, to - from);
    m_inColouring = false;
}

void TextArea::contentsChanged(int position, int removed, int added)
{
    Q_UNUSED(removed);
    if (m_inColouring || !m_colouring)
        return;
    QTextDocument* doc = document();
    // The line before the change may have stopped being the last one, and the one
    // after it may have become it.
    QTextBlock first = doc->findBlock(position);
    if (first.previous().isValid())
        first = first.previous();
    QTextBlock last = doc->findBlock(position + added);
    if (!last.isValid())
        last = doc->lastBlock();
    if (last.next().isValid())
        last = last.next();
    constexpr int EagerBlocks = 64;
    const bool eager = last.blockNumber() - first.blockNumber() <= EagerBlocks;
    int dirtyFrom = -1;
    int dirtyTo = -1;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        block.setUserState(isContinuation(block) ? 1 : 0);
        if (eager && colourBlock(block)) {
            if (dirtyFrom < 0)
                dirtyFrom = block.position();
            dirtyTo = block.position() + block.length();
        }
        if (block == last)
            break;
    }
    if (dirtyFrom >= 0)
        markColoured(dirtyFrom, qMin(dirtyTo, doc->characterCount()));
    if (!eager)
        viewport()->update();
}

std::optional<QColor> TextArea::blockColour(int blockNumber)
{
    finishLoading();
    const QTextBlock block = document()->findBlockByNumber(blockNumber);
    if (!block.isValid())
        return std::nullopt;
    colourBlock(block);
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    if (formats.isEmpty() || !formats.first().format.hasProperty(QTextFormat::ForegroundBrush))
        return std::nullopt;
    return formats.first().format.foreground().color();
}

void TextArea::colourAllBlocks()
{
    finishLoading();
    QTextDocument* doc = document();
    bool changed = false;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        changed = colourBlock(block) || changed;
    if (changed)
        markColoured(0, doc->characterCount());
}

void TextArea::paintEvent(QPaintEvent* e)
{
    // Only what is about to be seen gets its colours now.
    if (m_colouring) {
        const int bottom = viewport()->height();
        int dirtyFrom = -1;
        int dirtyTo = -1;
        for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
            if (colourBlock(block)) {
                if (dirtyFrom < 0)
                    dirtyFrom = block.position();
                dirtyTo = block.position() + block.length();
            }
            if (blockBoundingGeometry(block).translated(contentOffset()).top() > bottom)
                break;
        }
        if (dirtyFrom >= 0)
            markColoured(dirtyFrom, qMin(dirtyTo, document()->characterCount()));
    }
    QPlainTextEdit::paintEvent(e);
}

void TextArea::dragEnterEvent(QDragEnterEvent* e)
{
    if (droppedFiles(e->mimeData()).isEmpty()) {
        QPlainTextEdit::dragEnterEvent(e);
        return;
    }
    if (offersAllActions(e))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextArea::dragMoveEvent(QDragMoveEvent* e)
{
    if (droppedFiles(e->mimeData()).isEmpty()) {
        QPlainTextEdit::dragMoveEvent(e);
        return;
    }
    if (offersAllActions(e))
        e->acceptProposedAction();
    else
        e->ignore();
}

void TextArea::dropEvent(QDropEvent* e)
{
    // Files are opened, never pasted as their paths.
    const QStringList paths = droppedFiles(e->mimeData());
    if (paths.isEmpty()) {
        QPlainTextEdit::dropEvent(e);
        return;
    }
    if (!offersAllActions(e)) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    Q_EMIT filesDropped(paths);
}

bool TextArea::isMenuShortcut(int key, Qt::KeyboardModifiers modifiers)
{
    if ((modifiers & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_A:
    case Qt::Key_C:
    case Qt::Key_E:
    case Qt::Key_G:
    case Qt::Key_J:
    case Qt::Key_K:
    case Qt::Key_M:
    case Qt::Key_P:
    case Qt::Key_Q:
    case Qt::Key_R:
    case Qt::Key_W:
        return true;
    default:
        return false;
    }
}

bool TextArea::viewportEvent(QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::DragEnter:
    case QEvent::Drop:
        finishLoading();
        break;
    default:
        break;
    }
    return QPlainTextEdit::viewportEvent(e);
}

bool TextArea::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::ShortcutOverride:
        finishLoading();
        break;
    default:
        break;
    }
    if (e->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (isMenuShortcut(key->key(), key->modifiers())) {
            // Not accepting the override lets the shortcut map trigger the menu action.
            key->ignore();
            return true;
        }
    }
    return QPlainTextEdit::event(e);
}

} // namespace velmar::text
