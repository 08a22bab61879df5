#pragma once

#include "ipmsg/messenger_host.h"

#include <QList>
#include <QSet>
#include <QString>

namespace velmar::testing {

// The main window as the messaging engine sees it, recording what it was asked to
// do. The one fake of this interface for tests, benchmarks and the fuzzer; those
// that receive floods set keepWindows to false and read the counters.
class FakeMessengerHost final : public ipmsg::MessengerHost {
public:
    void skipNextActivation() override;
    QString versionText() const override;
    void openMessageWindow(const ipmsg::IncomingMessage& message) override;
    void collectMessage(const ipmsg::IncomingMessage& message) override;
    void playArrivalSound() override;
    bool inTray() const override;
    void startBlinking() override;
    void markSent() override;

    bool keepWindows = true;
    bool skipRequested = false;
    QList<ipmsg::IncomingMessage> windows;
    QList<ipmsg::IncomingMessage> collected; // kept like windows
    qsizetype windowCount = 0;
    qsizetype collectedCount = 0;
    // The collecting windows a main window would have opened: one per flooding sender
    // address, and "" for the one shared by every sender.
    QSet<QString> collectingKeys;
    qsizetype textChars = 0;
    int sounds = 0;
    bool tray = false;
    int blinks = 0;
    int sentMarks = 0;
};

} // namespace velmar::testing
