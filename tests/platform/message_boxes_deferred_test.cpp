// Boxes that datagrams and timers cause: shown after the handler, one at a time.

#include "platform/message_boxes_deferred.h"

#include <QCoreApplication>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>

using velmar::platform::DeferredMessageBoxes;

namespace {

// Records each box and runs `whileOpen` inside the first one, as a modal box's own
// event loop would run whatever arrives meanwhile.
class ModalBoxes final : public velmar::platform::MessageBoxes {
public:
    void show(const QString& title, const QString& text) override
    {
        shown << title + u'|' + text;
        mostOpen = std::max(mostOpen, ++open);
        if (const auto run = std::exchange(whileOpen, {}))
            run();
        --open;
    }
    std::function<void()> whileOpen;
    QStringList shown;
    int open = 0;
    int mostOpen = 0;
};

TEST(DeferredMessageBoxes, AfterTheHandlerInOrderOneAtATimeAndBounded)
{
    ModalBoxes boxes;
    DeferredMessageBoxes deferred(boxes);
    deferred.post(QStringLiteral("a"), QStringLiteral("1"));
    deferred.post(QStringLiteral("a"), QStringLiteral("1")); // the same box waiting: once
    int composed = 0;
    deferred.post([&] {
        ++composed;
        return DeferredMessageBoxes::Box{QStringLiteral("b"), QString::number(composed)};
    });
    deferred.post([] { return DeferredMessageBoxes::Box{}; }); // nothing to say: no box
    EXPECT_TRUE(boxes.shown.isEmpty()) << "never inside the caller";
    EXPECT_EQ(composed, 0);

    // A box posted while the first is open follows it, after it has closed.
    boxes.whileOpen = [&] {
        deferred.post(QStringLiteral("c"), QStringLiteral("3"));
        QCoreApplication::processEvents();
        EXPECT_EQ(boxes.shown.size(), 1);
    };
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.shown,
              (QStringList{QStringLiteral("a|1"), QStringLiteral("b|1"), QStringLiteral("c|3")}));
    EXPECT_EQ(boxes.mostOpen, 1);

    boxes.shown.clear();
    for (int i = 0; i < 100; ++i)
        deferred.post(QStringLiteral("d"), QString::number(i));
    EXPECT_FALSE(deferred.post([] { return DeferredMessageBoxes::Box{}; })) << "full";
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.shown.size(), DeferredMessageBoxes::MaxWaiting);
}

} // namespace
