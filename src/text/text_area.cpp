#include "text/text_area.h"

#include "platform/clipboard.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace velmar::text {

TextArea::TextArea(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("v_windows"));
}

void TextArea::setCrlfText(const QString& crlfText)
{
    setPlainText(platform::crlfToLf(crlfText));
}

QString TextArea::crlfText() const
{
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
    QTextCursor cursor = textCursor();
    cursor.insertText(platform::crlfToLf(crlfText));
    setTextCursor(cursor);
}

void TextArea::appendCrlfText(const QString& crlfText)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(platform::crlfToLf(crlfText));
}

void TextArea::setBlockColours(const QList<std::optional<QColor>>& colours)
{
    QTextDocument* doc = document();
    QTextBlock block = doc->begin();
    for (qsizetype i = 0; block.isValid(); block = block.next(), ++i) {
        const std::optional<QColor> colour = i < colours.size() ? colours[i] : std::nullopt;
        QTextLayout* layout = block.layout();
        if (!colour || block.length() <= 1) {
            if (!layout->formats().isEmpty())
                layout->clearFormats();
            continue;
        }
        QTextLayout::FormatRange range;
        range.start = 0;
        range.length = block.length() - 1;
        range.format.setForeground(*colour);
        layout->setFormats({range});
    }
    // One relayout for the whole document instead of one per block.
    doc->markContentsDirty(0, doc->characterCount());
    viewport()->update();
}

std::optional<QColor> TextArea::blockColour(int blockNumber) const
{
    const QTextBlock block = document()->findBlockByNumber(blockNumber);
    if (!block.isValid())
        return std::nullopt;
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    if (formats.isEmpty() || !formats.first().format.hasProperty(QTextFormat::ForegroundBrush))
        return std::nullopt;
    return formats.first().format.foreground().color();
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

bool TextArea::event(QEvent* e)
{
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
