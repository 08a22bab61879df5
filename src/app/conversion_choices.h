#pragma once

#include <QString>

namespace velmar::settings {
class SettingsStore;
}

namespace velmar::app {

// The conversion options kept between runs: the JIS escape sequences, whether the
// encoders work on UTF-16 and the hex line width (the Unicode item's tag).
struct ConversionChoices {
    int jisIn = 1;  // kanji-in sequence 1..5
    int jisOut = 1; // kanji-out sequence 1..3
    bool unicode = false;
    QString hexLineWidth = QStringLiteral("49");
    // The encoders' UTF-8 byte form; it excludes the Unicode option. The default.
    bool utf8 = true;

    friend bool operator==(const ConversionChoices&, const ConversionChoices&) = default;
};

// Reads the stored choices. A value that is no number, or a sequence outside its
// range, falls back (kanji-in to 2, kanji-out to 1); a line width below 1 keeps 49.
ConversionChoices readConversionChoices(const settings::SettingsStore& store);
// Stores the choices; a line width that is no number is left as stored.
void storeConversionChoices(const ConversionChoices& choices, settings::SettingsStore& store);

} // namespace velmar::app
