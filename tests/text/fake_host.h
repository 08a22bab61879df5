#pragma once

// A main window stand-in for text window tests: TextWindow windows in a plain list, the
// active one tracked by hand, the platform fakes, and a record of every call.

#include "components/textgauge.h"
#include "platform/fakes.h"
#include "support/temp_settings.h"
#include "text/host.h"
#include "text/text_window.h"

#include <QList>
#include <QPoint>
#include <QStringList>
#include <memory>
#include <vector>

namespace velmar::testing {

class FakeHost final : public text::Host {
public:
    struct Notice {
        quint32 command = 0;
        QString destination;
        qint32 port = 0;
        QString extra;
    };

    QString applicationName() const override { return QStringLiteral("Velmar7"); }
    settings::SettingsStore& settings() override { return *temp.store; }
    platform::Clipboard& clipboard() override { return clip; }
    platform::MessageBoxes& messageBoxes() override { return boxes; }
    components::Textgauge& textgauge() override { return gauge; }
    QString replyMark() const override { return mark; }
    text::TextWindow* activeWindow() const override { return active; }

    // Creates a window; in the foreground it becomes the active one.
    text::TextWindow* openTextWindow(text::WindowPlacement placement) override
    {
        m_windows.push_back(std::make_unique<text::TextWindow>(*this));
        text::TextWindow* window = m_windows.back().get();
        if (placement == text::WindowPlacement::Foreground)
            activate(window);
        return window;
    }
    QList<text::TextWindow*> windows() const override
    {
        QList<text::TextWindow*> list;
        for (const auto& window : m_windows)
            list.append(window.get());
        return list;
    }
    void applyImeSetting() override { ++imeCalls; }
    void sendCommand(quint32 command, const QString& destination, qint32 port,
                     const QString& extra) override
    {
        notices.append({command, destination, port, extra});
    }
    void openFile(const QString& path) override { opened.append(path); }
    void popupFileMenu(const QPoint& globalPos) override { popups.append(globalPos); }
    void hideToTray(bool mode) override { trayCalls.append(mode); }

    // Makes `window` the active one and runs its part of the activation.
    void activate(text::TextWindow* window)
    {
        for (const auto& other : m_windows)
            other->activationMark = text::TextWindow::ActivationMark::Inactive;
        window->activationMark = text::TextWindow::ActivationMark::Active;
        active = window;
        window->activate();
    }
    // A window made active without running the activation step.
    text::TextWindow* newActiveWindow()
    {
        active = openTextWindow(text::WindowPlacement::Background);
        return active;
    }
    void write(const settings::Setting& key, const QString& value)
    {
        temp.store->write(key, value);
    }

    TempSettings temp;
    platform::FakeClipboard clip;
    platform::RecordingMessageBoxes boxes;
    components::TextgaugeImpl gauge;
    QString mark = QStringLiteral(">");
    text::TextWindow* active = nullptr;
    int imeCalls = 0;
    QList<Notice> notices;
    QStringList opened;
    QList<QPoint> popups;
    QList<bool> trayCalls;

private:
    std::vector<std::unique_ptr<text::TextWindow>> m_windows;
};

} // namespace velmar::testing
