#pragma once

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace velmar::platform {

// A font with the effects the text windows use, and its text colour.
struct FontChoice {
    QString family;
    double pointSize = 11.5;
    bool bold = false;
    bool italic = false;
    bool strikeOut = false;
    bool underline = false;
    QColor colour = Qt::black;
    friend bool operator==(const FontChoice&, const FontChoice&) = default;
};

// The platform's colour and font dialogs. Production shows Qt's dialogs; tests
// script the answers, so nothing blocks.
class Choosers {
public:
    virtual ~Choosers() = default;
    // Nothing when the user cancels.
    virtual std::optional<QColor> chooseColour(const QColor& initial) = 0;
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial) = 0;
};

class QtChoosers final : public Choosers {
public:
    explicit QtChoosers(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    std::optional<QColor> chooseColour(const QColor& initial) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override;

private:
    QWidget* m_parent;
};

} // namespace velmar::platform
