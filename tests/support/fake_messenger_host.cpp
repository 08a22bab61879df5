#include "support/fake_messenger_host.h"

namespace velmar::testing {

void FakeMessengerHost::skipNextActivation()
{
    skipRequested = true;
}

QString FakeMessengerHost::versionText() const
{
    return QStringLiteral("Velmar6 Ver7.3.0.2");
}

void FakeMessengerHost::openMessageWindow(const ipmsg::IncomingMessage& message)
{
    ++windowCount;
    textChars += message.text.size();
    if (keepWindows)
        windows.append(message);
}

void FakeMessengerHost::collectMessage(const ipmsg::IncomingMessage& message)
{
    ++collectedCount;
    collectingKeys.insert(message.storm ? QString() : message.replyAddress);
    textChars += message.text.size();
    if (keepWindows)
        collected.append(message);
}

void FakeMessengerHost::playArrivalSound()
{
    ++sounds;
}

bool FakeMessengerHost::inTray() const
{
    return tray;
}

void FakeMessengerHost::startBlinking()
{
    ++blinks;
}

void FakeMessengerHost::markSent()
{
    ++sentMarks;
}

} // namespace velmar::testing
