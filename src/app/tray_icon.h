#pragma once

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

namespace velmar::app {

// The notification-area icon. Where the desktop has no notification area, the
// owner minimises instead of hiding, so the user can always get back.
class TrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool isAvailable();
    void add(const QIcon& icon, const QString& tip);
    void modify(const QIcon& icon);
    void remove();
    bool isShown() const;

Q_SIGNALS:
    // A click on the icon; `rightButton` tells the right button from the left.
    void clicked(bool rightButton);

private:
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace velmar::app
