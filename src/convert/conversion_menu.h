#pragma once

#include "convert/text_bytes.h"

#include <QString>

namespace velmar::convert {

// The text the commands act on: the active text window's, through its text operations.
class ActiveText {
public:
    virtual ~ActiveText() = default;
    // False when no text window is active.
    virtual bool exists() const = 0;
    // The whole text; empty when there is no window.
    virtual QString text() const = 0;
    // Replaces the whole text (nothing happens without a window).
    virtual void setText(const QString& text) = 0;
};

// The choices the menus hold, and what a command may change there.
class ConversionMenu {
public:
    virtual ~ConversionMenu() = default;
    // Kanji-in sequence 1..5, kanji-out sequence 1..3.
    virtual int jisIn() const = 0;
    virtual int jisOut() const = 0;
    // The byte form of the encoders: UTF-16LE ("UNICODE化してエンコード"), UTF-8 ("UTF-8
    // 化してエンコード") or, with neither marked, Shift_JIS.
    virtual ByteForm byteForm() const = 0;
    // The hex line width as stored with the Unicode option ("49").
    virtual QString hexWidth() const = 0;
    // A command that finds its component gone disables its menu items.
    virtual void disableBase64() = 0;
    virtual void disableUrlHex() = 0;
};

} // namespace velmar::convert
