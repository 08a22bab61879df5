#pragma once

#include <QColor>
#include <QList>
#include <QPlainTextEdit>
#include <optional>

namespace velmar::text {

// The text area `textArea` of a text window. The program's text uses CRLF line
// breaks; the document uses one block per line. Every conversion happens here.
class TextArea final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TextArea(QWidget* parent = nullptr);

    // Replaces the whole text (CRLF line breaks; a lone CR or LF also breaks a line).
    void setCrlfText(const QString& crlfText);
    // The text exactly as the document holds it: block texts joined by CRLF. Read from
    // the blocks because QTextDocument::toPlainText() turns U+00A0 into a space.
    QString crlfText() const;
    // The selected text with CRLF line breaks; empty when nothing is selected.
    QString selectedCrlfText() const;
    // Replaces the selection, or inserts at the caret when nothing is selected.
    void replaceSelection(const QString& crlfText);
    // Appends at the end of the text.
    void appendCrlfText(const QString& crlfText);

    // Display-only colour of every block, one entry per block in document order
    // (std::nullopt: the area's own text colour). Applied as additional layout formats
    // so neither the text, the caret nor the undo history changes.
    void setBlockColours(const QList<std::optional<QColor>>& colours);
    // The colour given to a block by setBlockColours, or std::nullopt.
    std::optional<QColor> blockColour(int blockNumber) const;

    // The menu's Ctrl+letter shortcuts must reach their actions even while the area has
    // the focus, although the editor knows some of them (select all, copy, delete to
    // the end of the line).
    static bool isMenuShortcut(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool event(QEvent* e) override;
};

} // namespace velmar::text
