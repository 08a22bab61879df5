#pragma once

#include "text/reply_colors.h"

#include <QColor>
#include <QList>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <optional>

namespace velmar::text {

// The text area `textArea` of a text window. The program's text uses CRLF line
// breaks; the document uses one block per line. Every conversion happens here.
//
// Line colours are display-only layout formats decided per block. They follow edits:
// the blocks a change touches are re-coloured at once, and after a whole new text or
// new colour rules the blocks are coloured when they are first painted or asked for,
// so a large text costs nothing for the lines nobody looks at.
class TextArea final : public QPlainTextEdit {
    Q_OBJECT
public:
    // Lines longer than this are shown cut into display lines of LongLineChunk
    // characters: laying out one paragraph of megabytes takes seconds, a few short
    // paragraphs in view take nothing. Such a text is not the document's text any more,
    // so the window keeps it apart (raw mode).
    static constexpr qsizetype LongLineLimit = 65536;
    static constexpr qsizetype LongLineChunk = 4096;
    // A replacement of the whole text stays undoable while the old and the new text
    // together hold at most this many characters (16 MB of UTF-16). Beyond that the
    // undo history is cleared instead of keeping both texts in memory.
    static constexpr qsizetype UndoLimit = 8 * 1024 * 1024;
    // A new text longer than this shows its first LoadChunk characters at once and takes
    // in the rest in slices of that size while the event loop is idle. Anything that
    // reads or changes the text, and any key or click in the area, takes in the rest
    // first, so nobody sees a partial text.
    static constexpr qsizetype ProgressiveLimit = 1024 * 1024;
    static constexpr qsizetype LoadChunk = 256 * 1024;

    explicit TextArea(QWidget* parent = nullptr);

    // Replaces the whole text (CRLF line breaks; a lone CR or LF also breaks a line).
    // Returns whether the document now holds the text exactly, decided by a scan of
    // the text for what the document changes instead of a read-back. `undoable`: the
    // replacement becomes one undo step (within UndoLimit, and only when exact).
    bool setCrlfText(const QString& crlfText, bool undoable = false);
    // The text exactly as the document holds it: block texts joined by CRLF. Read from
    // the blocks because QTextDocument::toPlainText() turns U+00A0 into a space.
    QString crlfText() const;
    // The selected text with CRLF line breaks; empty when nothing is selected.
    QString selectedCrlfText() const;
    // Replaces the selection, or inserts at the caret when nothing is selected.
    void replaceSelection(const QString& crlfText);
    // Appends at the end of the text.
    void appendCrlfText(const QString& crlfText);
    // Whether the document would hold `crlfText` exactly (see setCrlfText).
    static bool holdsExactly(const QString& crlfText);

    // The colouring rules: the colour of each entry of `colorer` (std::nullopt: the
    // base colour) and the base colour of unmarked lines (std::nullopt: the area's own
    // text colour). Every block is re-coloured by them before it is next shown.
    void setColouring(const LineColorer& colorer, const QList<std::optional<QColor>>& ruleColours,
                      const std::optional<QColor>& base);
    bool hasColouring() const { return m_colouring.has_value(); }
    // The colour of a block (coloured now if it was not yet), or std::nullopt.
    std::optional<QColor> blockColour(int blockNumber);
    // Whether part of the last text given is still to be taken in.
    bool isLoading() const { return !m_pendingText.isNull(); }
    // Takes in what is left of the last text given.
    void finishLoading();

    // Colours every block that is not coloured yet (printing, tests, benchmarks).
    void colourAllBlocks();

    // The menu's Ctrl+letter shortcuts must reach their actions even while the area has
    // the focus, although the editor knows some of them (select all, copy, delete to
    // the end of the line).
    static bool isMenuShortcut(int key, Qt::KeyboardModifiers modifiers);

Q_SIGNALS:
    // Local files dropped on the area; the window opens them.
    void filesDropped(const QStringList& paths);

protected:
    bool event(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    struct Colouring {
        LineColorer colorer;
        QList<std::optional<QColor>> ruleColours;
        std::optional<QColor> base;
    };

    void contentsChanged(int position, int removed, int added);
    // Colours `block` if it is stale; returns whether its formats changed.
    bool colourBlock(QTextBlock block);
    // Re-lays out the blocks whose colours changed, without treating it as an edit.
    void markColoured(int from, int to);
    bool isStale(const QTextBlock& block) const;
    void loadSlice(qsizetype length);

    // The rest of a text being taken in progressively, and how much of it is in.
    QString m_pendingText;
    qsizetype m_pendingAt = 0;
    QTimer* m_loadTimer = nullptr;

    std::optional<Colouring> m_colouring;
    // Blocks coloured under the current rules carry (m_generation << 1) | continuation
    // as their user state; anything else is stale.
    int m_generation = 1;
    bool m_inColouring = false;
};

} // namespace velmar::text
