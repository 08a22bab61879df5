#pragma once

#include <QString>
#include <cmath>
#include <optional>

namespace velmar::app {

// A stored value read as a number the way the settings mean it: trimmed, decimal,
// finite. Nothing for any other text.
inline std::optional<double> numericValue(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace velmar::app
