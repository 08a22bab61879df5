#include "app/conversion_choices.h"

#include "app/stored_number.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <cmath>

namespace velmar::app {

namespace keys = settings::keys;

namespace {

// A digit character as its number (0 for anything else).
int digitValue(QChar c)
{
    return c.isDigit() ? c.digitValue() : 0;
}

} // namespace

ConversionChoices readConversionChoices(const settings::SettingsStore& store)
{
    ConversionChoices choices;
    choices.hexLineWidth = QString::number(settings::read(store, keys::HexLineWidthValue));
    // With neither byte-form key stored (a new settings file) the defaults of the struct
    // hold: UTF-8, what web addresses, mail and the tools of a Linux desktop use. A
    // stored choice is kept.
    const QString absent = QStringLiteral("\x01");
    const QString storedUnicode = store.read(keys::EncodeAsUnicode, absent);
    const QString storedUtf8 = store.read(keys::EncodeAsUtf8, absent);
    if (storedUnicode != absent || storedUtf8 != absent) {
        const QString unicode = store.read(keys::EncodeAsUnicode).trimmed() + u'0';
        choices.unicode = unicode.front() == u'0';
        choices.utf8 = store.read(keys::EncodeAsUtf8).trimmed() == u"1";
    }

    QString jis = store.read(keys::JisEscapes).trimmed();
    if (!numericValue(jis))
        jis = QStringLiteral("1");
    choices.jisIn = digitValue(jis.front());
    choices.jisOut = digitValue(jis.back());
    if (choices.jisIn < 1 || choices.jisIn > 5)
        choices.jisIn = 2;
    if (choices.jisOut < 1 || choices.jisOut > 3)
        choices.jisOut = 1;
    return choices;
}

void storeConversionChoices(const ConversionChoices& choices, settings::SettingsStore& store)
{
    store.write(keys::JisEscapes, QString::number(choices.jisIn) + QString::number(choices.jisOut));
    store.write(keys::EncodeAsUnicode, choices.unicode ? QStringLiteral("0") : QStringLiteral("1"));
    if (numericValue(choices.hexLineWidth))
        store.write(keys::HexLineWidth, choices.hexLineWidth);
    store.write(keys::EncodeAsUtf8, choices.utf8 ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace velmar::app
