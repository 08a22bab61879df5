#include "ipmsg/ui/user_list_layout.h"

#include <algorithm>
#include <cmath>

namespace velmar::ipmsg {

namespace {

// The integer part the way the rules mean it: towards minus infinity, so that a
// window narrower than a control still yields a consistent (negative) left.
int Int(double x)
{
    return static_cast<int>(std::floor(x));
}

// Vertical spacing of the upper part, in twips.
constexpr int kTop = 90;        // window edge to the first row of controls
constexpr int kButtonGap = 60;  // between the stacked buttons and check boxes
constexpr int kCheckTop = 180;  // the check boxes sit a little lower than the frame
constexpr int kBandGap = 60;    // upper controls to "送信中"
constexpr int kLabelGap = 30;   // a heading or label to what it belongs to
constexpr int kHeadingGap = 60; // progress bar to the list headings

int roundToPixel(int twips)
{
    return Int(static_cast<double>(twips) / TwipsPerPixel + 0.5);
}

} // namespace

QMap<QString, QRect> userListLayout(int width, int height, const UserListMetrics& m)
{
    const double W = width;
    const double H = height;
    QMap<QString, QRect> r;

    // One column of buttons centred at three quarters of the width.
    const int buttonWidth = Int(W / 4.5);
    const int buttonLeft = Int(W * 3 / 4 - buttonWidth / 2.0);
    int top = kTop;
    for (const char* name : {"Command1", "Command2", "Command3"}) {
        r.insert(QString::fromLatin1(name), QRect(buttonLeft, top, buttonWidth, m.buttonHeight));
        top += m.buttonHeight + kButtonGap;
    }
    const int buttonsBottom = top - kButtonGap;

    // The sealed and lock boxes in the middle, one above the other.
    const int checkLeft = Int((W - m.check1.width()) / 2);
    r.insert(QStringLiteral("Check1"), QRect(QPoint(checkLeft, kTop + kCheckTop), m.check1));
    r.insert(QStringLiteral("Check2"),
             QRect(QPoint(checkLeft, kTop + kCheckTop + m.check1.height() + kButtonGap), m.check2));
    const int checksBottom = kTop + kCheckTop + m.check1.height() + kButtonGap + m.check2.height();

    // The sort frame centred at a quarter of the width.
    r.insert(QStringLiteral("Frame1"),
             QRect(QPoint(Int(W / 4 - m.frame1.width() / 2.0), kTop), m.frame1));
    const int frameBottom = kTop + m.frame1.height();

    // "送信中" centred, the progress bar across the window below it.
    const int labelTop = std::max({buttonsBottom, checksBottom, frameBottom}) + kBandGap;
    r.insert(QStringLiteral("Label1"),
             QRect(QPoint(Int((W - m.label1.width()) / 2), labelTop), m.label1));
    const int progressTop = labelTop + m.label1.height() + kLabelGap;
    r.insert(QStringLiteral("ProgressBar1"),
             QRect(UserListMargin, progressTop, width - 2 * UserListMargin, m.progressHeight));

    // The peer grid at the left, two thirds of the width less three margins; the
    // destination list beside it, half as wide; both half of the remaining height.
    const int headingTop = progressTop + m.progressHeight + kHeadingGap;
    const int gridTop = headingTop + std::max(m.label2.height(), m.label3.height()) + kLabelGap;
    const int gridLeft = UserListMargin;
    const int gridWidth = Int((W - 3 * UserListMargin) * 2 / 3);
    const int gridHeight = Int((H - gridTop) / 2);
    r.insert(QStringLiteral("MSFlexGrid1"), QRect(gridLeft, gridTop, gridWidth, gridHeight));
    const int listLeft = 2 * gridLeft + gridWidth;
    const int listWidth = Int(gridWidth / 2.0);
    r.insert(QStringLiteral("List1"), QRect(listLeft, gridTop, listWidth, gridHeight));

    // The headings centred over their lists.
    r.insert(
        QStringLiteral("Label2"),
        QRect(QPoint(Int((listWidth - m.label2.width()) / 2.0 + listLeft), headingTop), m.label2));
    r.insert(
        QStringLiteral("Label3"),
        QRect(QPoint(Int(gridLeft + (gridWidth - m.label3.width()) / 2.0), headingTop), m.label3));

    // "送信内容" centred below the lists, the text filling the rest.
    const int label4Top = gridTop + gridHeight + Int(gridLeft / 2.0);
    r.insert(QStringLiteral("Label4"),
             QRect(QPoint(Int((W - m.label4.width()) / 2), label4Top), m.label4));
    const int textLeft = gridLeft;
    const int textTop = label4Top + m.label4.height();
    r.insert(QStringLiteral("RichTextBox1"),
             QRect(textLeft, textTop, width - 2 * textLeft, height - textTop - textLeft));
    return r;
}

QRect twipsToPixels(const QRect& twips)
{
    const int left = roundToPixel(twips.x());
    const int top = roundToPixel(twips.y());
    const int right = roundToPixel(twips.x() + twips.width());
    const int bottom = roundToPixel(twips.y() + twips.height());
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace velmar::ipmsg
