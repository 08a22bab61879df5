#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QSystemTrayIcon;

namespace velmar::platform {

// Which button was released over the notification-area icon.
enum class TrayClick { Left, Right };

// The program's icon in the desktop's notification area.
class TrayIcon {
public:
    using ClickHandler = std::function<void(TrayClick)>;

    virtual ~TrayIcon() = default;

    // False where the desktop has no notification area; the owner then minimises
    // instead of hiding, so the user can always get back.
    virtual bool isAvailable() const = 0;
    virtual void show(const QIcon& icon, const QString& toolTip) = 0;
    virtual void setIcon(const QIcon& icon) = 0;
    virtual void hide() = 0;
    virtual bool isShown() const = 0;

    // Called once per released button. Implementations deliver the call after the
    // icon has finished handling the mouse event, so the handler may hide or change
    // the icon.
    void setClickHandler(ClickHandler handler) { m_clickHandler = std::move(handler); }

protected:
    void reportClick(TrayClick click) const
    {
        if (m_clickHandler)
            m_clickHandler(click);
    }

private:
    ClickHandler m_clickHandler;
};

class QtTrayIcon final : public QObject, public TrayIcon {
    Q_OBJECT
public:
    explicit QtTrayIcon(QObject* parent = nullptr);
    ~QtTrayIcon() override;

    bool isAvailable() const override;
    void show(const QIcon& icon, const QString& toolTip) override;
    void setIcon(const QIcon& icon) override;
    void hide() override;
    bool isShown() const override;

    // The Qt icon itself, for tests that look at what the notification area got.
    QSystemTrayIcon* systemTrayIcon() const { return m_icon; }

private:
    QSystemTrayIcon* m_icon;
};

} // namespace velmar::platform
