#include "app/main_window_fixture.h"
#include "app/new_window_placement.h"
#include "ipmsg/messenger_host.h"
#include "text/text_window.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>

using namespace velmar::app;
using velmar::text::WindowPlacement;

namespace {

TEST(NewWindowPlacement, CascadesAndStaysInside)
{
    const QRect visible(0, 0, 600, 400);
    struct Case {
        const char* what;
        QSize preferred;
        std::optional<QRect> anchor;
        QRect expected;
    };
    const Case cases[] = {
        {"first window at the top left", {400, 260}, std::nullopt, {0, 0, 400, 260}},
        {"one step from the anchor", {400, 260}, QRect(10, 20, 400, 260), {34, 44, 400, 260}},
        {"past the right edge", {400, 260}, QRect(190, 20, 400, 260), {0, 44, 400, 260}},
        {"past the bottom edge", {400, 260}, QRect(10, 130, 400, 260), {34, 0, 400, 260}},
        {"anchor dragged off the area", {400, 260}, QRect(-300, -50, 400, 260), {0, 0, 400, 260}},
        {"larger than the area", {900, 900}, QRect(10, 10, 400, 260), {0, 0, 600, 400}},
    };
    for (const Case& c : cases) {
        const QRect r = newWindowGeometry(visible, c.preferred, c.anchor);
        EXPECT_EQ(r, c.expected) << c.what;
        EXPECT_TRUE(visible.contains(r)) << c.what;
    }
}

QMdiSubWindow* subWindowOf(velmar::text::TextWindow* window)
{
    return qobject_cast<QMdiSubWindow*>(window->parentWidget());
}

TEST(NewWindowPlacement, TenWindowsAndTenMessagesAreAllInView)
{
    velmar::testing::MainWindowFixture f;
    f.clipboard.setText(QStringLiteral("first"));
    auto& w = f.start();
    w.resize(700, 500);
    w.show();
    for (int i = 0; i < 10; ++i)
        w.openTextWindow(WindowPlacement::Foreground);
    velmar::text::TextWindow* active = w.activeWindow();
    for (int i = 0; i < 10; ++i) {
        velmar::ipmsg::IncomingMessage message;
        message.text = QStringLiteral("message %1").arg(i);
        w.openMessageWindow(message);
    }
    EXPECT_EQ(w.activeWindow(), active) << "messages arrive behind the active window";

    const QMdiArea* area = subWindowOf(active)->mdiArea();
    const QRect visible = area->viewport()->rect();
    QList<QPoint> corners;
    for (velmar::text::TextWindow* window : w.windows()) {
        const QRect frame = subWindowOf(window)->geometry();
        EXPECT_TRUE(visible.contains(frame)) << window->text().toStdString();
        corners.append(frame.topLeft());
    }
    // Consecutive windows never cover each other exactly.
    for (qsizetype i = 1; i < corners.size(); ++i)
        EXPECT_NE(corners[i], corners[i - 1]) << i;
    // The active window stays in front of every message that arrived after it.
    const QList<QMdiSubWindow*> stack = area->subWindowList(QMdiArea::StackingOrder);
    EXPECT_EQ(stack.last(), subWindowOf(active));
}

} // namespace
