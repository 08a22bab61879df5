#include "app/icons.h"

#include <QApplication>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>

namespace velmar::app::icons {

namespace {

// Every pictogram is drawn on a 24 x 24 grid and scaled to the pixmap size.
constexpr qreal grid = 24.0;

// One palette for all pictures.
namespace colour {
const QColor ink(0x37, 0x47, 0x4f);
const QColor paper(0xff, 0xff, 0xff);
const QColor rule(0x90, 0xa4, 0xae);
const QColor shade(0xcf, 0xd8, 0xdc);
const QColor blue(0x1e, 0x88, 0xe5);
const QColor green(0x43, 0xa0, 0x47);
const QColor red(0xe5, 0x39, 0x35);
const QColor amber(0xff, 0xb3, 0x00);
const QColor brown(0xa1, 0x88, 0x7f);
} // namespace colour

QPen outline(const QColor& colour = colour::ink, qreal width = 1.2)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded top-right corner.
void sheet(QPainter& p, const QRectF& r, const QColor& fill = colour::paper)
{
    const qreal fold = std::min(r.width(), r.height()) * 0.3;
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setPen(outline());
    p.setBrush(fill);
    p.drawPath(path);
    p.drawPolyline(QPolygonF{{r.right() - fold, r.top()},
                             {r.right() - fold, r.top() + fold},
                             {r.right(), r.top() + fold}});
}

// Text lines inside `r`, `count` of them, evenly spaced.
void textLines(QPainter& p, const QRectF& r, int count, const QColor& colour = colour::rule,
               qreal width = 1.4)
{
    p.setPen(outline(colour, width));
    const qreal step = r.height() / count;
    for (int i = 0; i < count; ++i) {
        const qreal y = r.top() + step * (i + 0.5);
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
}

// A clipboard: a brown board, a sheet on it and the metal clip on top.
void clipboard(QPainter& p, const QRectF& r)
{
    p.setPen(outline());
    p.setBrush(colour::brown);
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(colour::paper);
    p.drawRect(r.adjusted(2, 3, -2, -2));
    p.setBrush(colour::rule);
    p.drawRoundedRect(QRectF(r.center().x() - 3, r.top() - 1, 6, 3), 1, 1);
}

// A straight arrow from `from` to `to`, head at `to`.
void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width = 2.2)
{
    p.setPen(outline(colour, width));
    p.drawLine(from, to);
    const QLineF shaft(to, from);
    QLineF wing1 = shaft;
    wing1.setLength(4);
    QLineF wing2 = wing1;
    wing1.setAngle(shaft.angle() + 40);
    wing2.setAngle(shaft.angle() - 40);
    p.drawLine(wing1);
    p.drawLine(wing2);
}

// The tray at the bottom of the screen the window hides into.
void tray(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::shade);
    p.drawPolygon(
        QPolygonF{{2, 16}, {7, 16}, {9, 18.5}, {15, 18.5}, {17, 16}, {22, 16}, {22, 22}, {2, 22}});
}

void padlockBody(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::amber);
    p.drawRoundedRect(QRectF(4, 11, 16, 11), 2, 2);
    p.setBrush(colour::ink);
    p.drawEllipse(QPointF(12, 15.5), 1.5, 1.5);
    p.drawLine(QPointF(12, 16), QPointF(12, 19));
}

void twoSheets(QPainter& p)
{
    sheet(p, QRectF(8, 2, 13, 16), colour::shade);
    sheet(p, QRectF(3, 6, 13, 16));
}

void drawSend(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::blue);
    p.drawPolygon(QPolygonF{{2, 11}, {22, 3}, {16, 21}, {11, 14}});
    p.drawLine(QPointF(22, 3), QPointF(11, 14));
}

void drawNew(QPainter& p)
{
    sheet(p, QRectF(3, 2, 14, 19));
    textLines(p, QRectF(6, 8, 8, 6), 2);
    p.setPen(outline());
    p.setBrush(colour::green);
    p.drawEllipse(QPointF(17, 17), 5, 5);
    p.setPen(outline(colour::paper, 2));
    p.drawLine(QPointF(17, 14), QPointF(17, 20));
    p.drawLine(QPointF(14, 17), QPointF(20, 17));
}

void drawOpen(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::brown);
    p.drawPolygon(QPolygonF{{2, 5}, {9, 5}, {11, 7}, {20, 7}, {20, 20}, {2, 20}});
    p.setBrush(colour::amber);
    p.drawPolygon(QPolygonF{{5, 11}, {23, 11}, {19, 20}, {2, 20}});
}

void drawSave(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::blue);
    p.drawPolygon(QPolygonF{{3, 3}, {18, 3}, {21, 6}, {21, 21}, {3, 21}});
    p.setBrush(colour::shade);
    p.drawRect(QRectF(7, 3, 9, 6));
    p.setBrush(colour::paper);
    p.drawRect(QRectF(6, 13, 12, 8));
    textLines(p, QRectF(8, 14, 8, 6), 2);
}

void drawPrint(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::paper);
    p.drawRect(QRectF(7, 2, 10, 7));
    p.setBrush(colour::rule);
    p.drawRoundedRect(QRectF(2, 8, 20, 9), 2, 2);
    p.setBrush(colour::green);
    p.drawEllipse(QPointF(18.5, 11), 1, 1);
    p.setBrush(colour::paper);
    p.drawRect(QRectF(6, 14, 12, 8));
    textLines(p, QRectF(8, 15, 8, 6), 2);
}

void drawView(QPainter& p)
{
    clipboard(p, QRectF(3, 3, 14, 19));
    textLines(p, QRectF(7, 8, 6, 10), 3);
    p.setPen(outline(colour::ink, 2));
    p.setBrush(QColor(0xbb, 0xde, 0xfb));
    p.drawEllipse(QPointF(16, 14), 4.5, 4.5);
    p.setPen(outline(colour::ink, 3));
    p.drawLine(QPointF(19.5, 17.5), QPointF(22.5, 20.5));
}

void drawAllCopy(QPainter& p)
{
    twoSheets(p);
    textLines(p, QRectF(5, 10, 8, 10), 4, colour::blue, 2);
}

void drawSelCopy(QPainter& p)
{
    twoSheets(p);
    textLines(p, QRectF(5, 10, 8, 10), 4);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::blue);
    p.drawRect(QRectF(4.5, 13.5, 9, 3));
}

void drawResCopy(QPainter& p)
{
    sheet(p, QRectF(3, 2, 17, 20));
    for (const qreal y : {8.0, 12.5, 17.0}) {
        p.setPen(outline(colour::green, 1.8));
        p.drawPolyline(QPolygonF{{6, y - 1.8}, {8.5, y}, {6, y + 1.8}});
        p.setPen(outline(colour::rule, 1.4));
        p.drawLine(QPointF(11, y), QPointF(17, y));
    }
}

void drawPaste(QPainter& p)
{
    clipboard(p, QRectF(2, 3, 14, 19));
    sheet(p, QRectF(10, 9, 12, 14));
    textLines(p, QRectF(12, 13, 7, 8), 3);
}

void drawSpaceCut(QPainter& p)
{
    textLines(p, QRectF(8, 4, 8, 16), 4, colour::ink, 1.6);
    arrow(p, QPointF(1.5, 12), QPointF(6.5, 12), colour::red, 1.8);
    arrow(p, QPointF(22.5, 12), QPointF(17.5, 12), colour::red, 1.8);
}

void drawEmpty(QPainter& p)
{
    clipboard(p, QRectF(4, 3, 16, 19));
    p.setPen(outline(colour::red, 2.6));
    p.drawLine(QPointF(8, 9), QPointF(16, 18));
    p.drawLine(QPointF(16, 9), QPointF(8, 18));
}

void drawCopyAndTask(QPainter& p)
{
    sheet(p, QRectF(2, 2, 9, 11));
    arrow(p, QPointF(16, 2), QPointF(16, 13), colour::blue);
    tray(p);
}

void drawTask(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::paper);
    p.drawRect(QRectF(2, 2, 20, 11));
    p.setBrush(colour::blue);
    p.drawRect(QRectF(2, 2, 20, 3));
    arrow(p, QPointF(12, 6.5), QPointF(12, 15.5), colour::green);
    tray(p);
}

void drawEnd(QPainter& p)
{
    p.setPen(outline(colour::red, 2.6));
    p.setBrush(Qt::NoBrush);
    // Angles in sixteenths of a degree, counter-clockwise from three o'clock: leave
    // a gap at twelve o'clock for the bar.
    p.drawArc(QRectF(4, 4.5, 16, 16), 120 * 16, 300 * 16);
    p.drawLine(QPointF(12, 2.5), QPointF(12, 11));
}

// Shift_JIS is the amber sheet, JIS the blue one; the arrow gives the direction.
void conversion(QPainter& p, bool toJis)
{
    sheet(p, QRectF(2, 3, 8, 11), colour::amber);
    sheet(p, QRectF(14, 3, 8, 11), colour::blue);
    if (toJis)
        arrow(p, QPointF(4, 19), QPointF(20, 19), colour::green);
    else
        arrow(p, QPointF(20, 19), QPointF(4, 19), colour::green);
}

void drawToJis(QPainter& p)
{
    conversion(p, true);
}

void drawToSjis(QPainter& p)
{
    conversion(p, false);
}

void drawIme(QPainter& p)
{
    p.setPen(outline());
    p.setBrush(colour::shade);
    p.drawRoundedRect(QRectF(1.5, 6, 21, 13), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(colour::ink);
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 6; ++col)
            p.drawRect(QRectF(3.5 + col * 3 + row * 1.2, 8 + row * 3.2, 2, 2));
    }
    p.drawRect(QRectF(7, 15, 10, 2));
}

void drawEncrypt(QPainter& p)
{
    p.setPen(outline(colour::ink, 2.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(7.5, 11);
    shackle.lineTo(7.5, 7);
    shackle.arcTo(QRectF(7.5, 2.5, 9, 9), 180, -180);
    shackle.lineTo(16.5, 11);
    p.drawPath(shackle);
    padlockBody(p);
}

void drawDecrypt(QPainter& p)
{
    p.setPen(outline(colour::ink, 2.4));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(16.5, 11);
    shackle.lineTo(16.5, 6);
    shackle.arcTo(QRectF(16.5, 1.5, 6, 9), 180, -180);
    shackle.lineTo(22.5, 8);
    p.drawPath(shackle);
    padlockBody(p);
}

void drawSign(QPainter& p)
{
    p.setPen(outline(colour::ink, 1.6));
    QPainterPath squiggle;
    squiggle.moveTo(2, 20);
    squiggle.cubicTo(5, 14, 7, 24, 10, 19);
    squiggle.cubicTo(12, 16, 13, 22, 16, 20);
    p.setBrush(Qt::NoBrush);
    p.drawPath(squiggle);
    p.drawLine(QPointF(2, 22.5), QPointF(22, 22.5));
    p.setPen(outline());
    p.setBrush(colour::blue);
    p.drawPolygon(QPolygonF{{19, 2}, {22, 5}, {11, 16}, {7, 17}, {8, 13}});
    p.setBrush(colour::paper);
    p.drawPolygon(QPolygonF{{11, 16}, {7, 17}, {8, 13}});
}

using PaintFunction = void (*)(QPainter&);

struct IconEntry {
    Command command;
    QStringView themeName;
    PaintFunction paint;
};

// One entry per toolbar button; theme names from the freedesktop naming, the encryption ones from
// the themes that carry them.
constexpr std::array iconTable{
    IconEntry{Command::Send, u"document-send", drawSend},
    IconEntry{Command::New, u"document-new", drawNew},
    IconEntry{Command::Open, u"document-open", drawOpen},
    IconEntry{Command::Update, u"document-save", drawSave},
    IconEntry{Command::Print, u"document-print", drawPrint},
    IconEntry{Command::View, u"edit-find", drawView},
    IconEntry{Command::AllCopy, u"edit-select-all", drawAllCopy},
    IconEntry{Command::SelCopy, u"edit-copy", drawSelCopy},
    IconEntry{Command::ResCopy, u"mail-reply-sender", drawResCopy},
    IconEntry{Command::Paste, u"edit-paste", drawPaste},
    IconEntry{Command::SpaceCut, u"format-justify-center", drawSpaceCut},
    IconEntry{Command::Empty, u"edit-clear", drawEmpty},
    IconEntry{Command::CopyAndTask, u"go-bottom", drawCopyAndTask},
    IconEntry{Command::ToTray, u"go-down", drawTask},
    IconEntry{Command::End, u"application-exit", drawEnd},
    IconEntry{Command::ToIso2022jp, u"go-next", drawToJis},
    IconEntry{Command::ToSjis, u"go-previous", drawToSjis},
    IconEntry{Command::ImeToggle, u"input-keyboard", drawIme},
    IconEntry{Command::PgpEncrypt, u"document-encrypt", drawEncrypt},
    IconEntry{Command::PgpDecrypt, u"document-decrypt", drawDecrypt},
    IconEntry{Command::PgpSign, u"document-sign", drawSign},
};

const IconEntry* findEntry(Command command)
{
    for (const IconEntry& entry : iconTable) {
        if (entry.command == command)
            return &entry;
    }
    return nullptr;
}

// Draws a picture into a square of `side` pixels.
using SizedPaint = std::function<void(QPainter&, int side)>;

// Draws the picture at a size when it is first asked for: the start-up draws nothing
// that is not shown. The disabled look is the style's, derived from the drawn picture.
class PaintedIconEngine final : public QIconEngine {
public:
    PaintedIconEngine(SizedPaint paint, QList<int> sizes)
        : m_paint(std::move(paint)), m_sizes(std::move(sizes))
    {
    }

    QIconEngine* clone() const override { return new PaintedIconEngine(m_paint, m_sizes); }
    QString key() const override { return QStringLiteral("velmar-painted"); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int size : std::as_const(m_sizes))
            sizes.append(QSize(size, size));
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return QSize(side, side);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override
    {
        const int side = std::max(1, std::min(size.width(), size.height()));
        const quint64 key = (quint64(side) << 8) | quint64(mode);
        if (const auto it = m_cache.constFind(key); it != m_cache.constEnd())
            return *it;
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        m_paint(painter, side);
        painter.end();
        if (mode != QIcon::Normal && QApplication::style()) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        m_cache.insert(key, pixmap);
        return pixmap;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

private:
    SizedPaint m_paint;
    QList<int> m_sizes;
    QHash<quint64, QPixmap> m_cache;
};

// Each common size is drawn, not scaled from another, so thin lines stay sharp.
QIcon render(PaintFunction paint)
{
    return QIcon(new PaintedIconEngine(
        [paint](QPainter& painter, int side) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(side / grid, side / grid);
            paint(painter);
        },
        {16, 22, 24, 32, 48, 64, 128}));
}

} // namespace

QIcon drawnIcon(Command command)
{
    const IconEntry* entry = findEntry(command);
    return entry ? render(entry->paint) : QIcon();
}

QIcon toolbarIcon(Command command)
{
    const IconEntry* entry = findEntry(command);
    if (!entry)
        return {};
    const QString themeName = entry->themeName.toString();
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return render(entry->paint);
}

QIcon programIcon()
{
    // Rendered here rather than left to Qt's SVG icon plugin, so the picture does not
    // depend on a plugin being installed.
    auto svg = std::make_shared<QSvgRenderer>(QStringLiteral(":/icons/org.velmar.Velmar.svg"));
    return QIcon(new PaintedIconEngine([svg](QPainter& painter, int) { svg->render(&painter); },
                                       {16, 22, 24, 32, 48, 64, 128, 256}));
}

} // namespace velmar::app::icons
