#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QMenu;
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
    // The icon's context menu, for hosts that keep the right click for a menu of
    // their own (StatusNotifierItem). Where the right click reaches the program
    // (XEmbed) it stays a click and the menu is not shown. The owner keeps the menu.
    virtual void setContextMenu(QMenu* menu) = 0;

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
    void setContextMenu(QMenu* menu) override;

    // The Qt icon itself, for tests that look at what the notification area got.
    QSystemTrayIcon* systemTrayIcon() const { return m_icon; }

private:
    // Whether Qt draws the icon itself in an XEmbed tray (and so sees the right click)
    // rather than handing it to a StatusNotifierItem host.
    bool isEmbedded() const;
    void offerMenu();

    QSystemTrayIcon* m_icon;
    QMenu* m_menu = nullptr;
};

} // namespace velmar::platform
