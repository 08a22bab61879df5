#include "text/text_printer.h"

#include "platform/line_breaks.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace velmar::text {

TextPrinter::Result TextPrinter::print(const QString& crlfText, QPagedPaintDevice& device) const
{
    Result result;
    QPainter painter;
    if (!painter.begin(&device))
        return result;

    // The painter's coordinates start at the paintable area's top left; width()
    // and height() of a paged device are that area's size.
    const qreal pageWidth = device.width();
    const qreal pageHeight = device.height();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(QFontMetricsF(m_font, &device).horizontalAdvance(u' ') * 8);

    result.pages = 1;
    qreal y = 0;
    for (const QStringView line : platform::splitLines(crlfText)) {
        QTextLayout layout(line.toString(), m_font, &device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine textLine = layout.createLine(); textLine.isValid();
             textLine = layout.createLine()) {
            textLine.setLineWidth(pageWidth);
        }
        layout.endLayout();

        for (int i = 0; i < layout.lineCount(); ++i) {
            const QTextLine textLine = layout.lineAt(i);
            const qreal height = textLine.height();
            // A line that does not fit goes to the next page; one taller than a
            // whole page is painted anyway rather than looping on empty pages.
            if (y > 0 && y + height > pageHeight) {
                if (!device.newPage()) {
                    painter.end();
                    return result;
                }
                ++result.pages;
                y = 0;
            }
            textLine.draw(&painter, QPointF(0, y - textLine.y()));
            y += height;
        }
    }
    result.ok = painter.end();
    return result;
}

} // namespace velmar::text
