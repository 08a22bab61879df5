#pragma once

#include <QMap>
#include <QRect>
#include <QSize>
#include <QString>

namespace velmar::ipmsg {

// Positions of the user-list dialog's controls, in twips (15 twips per pixel).
//
// The horizontal rules follow the window's inner size: the button column is centred
// at three quarters of the width, the check boxes in the middle, the sort frame at a
// quarter; the peer grid takes two thirds of the width less the margins and the
// destination list half of that; the text box fills what is left below. The tops of
// the upper controls depend only on their own heights, so they do not move when the
// window grows.
inline constexpr int TwipsPerPixel = 15;

// Sizes that do not follow the window (the controls' natural sizes), in twips.
struct UserListMetrics {
    QSize frame1;     // the sort frame with its options
    QSize check1;     // "封書"
    QSize check2;     // "施錠"
    int buttonHeight; // the three buttons
    QSize label1;     // "送信中"
    int progressHeight;
    QSize label2; // "送信先"
    QSize label3; // "送信可能リスト"
    QSize label4; // "送信内容"
};

// The left margin of the grid and the progress bar, and the gap between the lists.
inline constexpr int UserListMargin = 20;

// Rectangles by control name ("Frame1", "Command1", "MSFlexGrid1", ...) for an inner
// size of `width` × `height` twips.
QMap<QString, QRect> userListLayout(int width, int height, const UserListMetrics& metrics);

// A rectangle in twips to pixels. The edges are converted, not the sizes, so
// neighbours that touch in twips still touch in pixels.
QRect twipsToPixels(const QRect& twips);
int pixelsToTwips(int pixels);

} // namespace velmar::ipmsg
