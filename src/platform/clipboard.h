#pragma once

#include "platform/line_breaks.h"

#include <QString>

namespace velmar::platform {

// The system clipboard in its plain-text format. The program's text uses CRLF
// line breaks; implementations convert at this boundary.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual bool hasText() const = 0;
    // The clipboard text with CRLF line breaks.
    virtual QString text() const = 0;
    virtual void clear() = 0;
    // Replaces the clipboard content by `crlfText` (stored with LF line breaks).
    virtual void setText(const QString& crlfText) = 0;
};

class QtClipboard final : public Clipboard {
public:
    bool hasText() const override;
    QString text() const override;
    void clear() override;
    void setText(const QString& crlfText) override;
};

} // namespace velmar::platform
