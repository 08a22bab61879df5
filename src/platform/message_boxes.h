#pragma once

#include <QString>

class QWidget;

namespace velmar::platform {

// Modal message boxes with a single OK button. Production shows a QMessageBox;
// tests record (title, text) instead of blocking.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Returns after the user has closed the box.
    virtual void show(const QString& title, const QString& text) = 0;
    // A box with two buttons; true when the user chose `acceptText`. Closing it any
    // other way is the other choice. Without a box of its own an implementation shows
    // the text and answers no: nothing is done that the user did not agree to.
    virtual bool ask(const QString& title, const QString& text, const QString& acceptText,
                     const QString& rejectText);
};

class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void show(const QString& title, const QString& text) override;
    bool ask(const QString& title, const QString& text, const QString& acceptText,
             const QString& rejectText) override;

private:
    QWidget* m_parent;
};

} // namespace velmar::platform
