#pragma once

#include <QFont>
#include <QString>

class QPagedPaintDevice;

namespace velmar::text {

// Lays a text out on the pages of a printer (or any paged device): every line
// starts on a new line, long lines wrap at the paintable width (at a word boundary
// where there is one, anywhere in Japanese text without blanks), and the text
// flows over as many pages as it needs. Margins are the device's own.
class TextPrinter final {
public:
    explicit TextPrinter(const QFont& font) : m_font(font) {}

    struct Result {
        bool ok = false;
        int pages = 0;
    };
    // Paints `crlfText` and ends the job. Fails when the device cannot be opened for
    // painting (no such printer, an unwritable output file).
    Result print(const QString& crlfText, QPagedPaintDevice& device) const;

private:
    QFont m_font;
};

} // namespace velmar::text
