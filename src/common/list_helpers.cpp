#include "common/list_helpers.h"

namespace velmar {

int findListItem(const QStringList& list, const QString& text, bool caseSensitive)
{
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(text, cs) == 0)
            return i;
    }
    return -1;
}

bool addListItemUnique(QStringList& list, const QString& text, bool caseSensitive)
{
    if (findListItem(list, text, caseSensitive) >= 0)
        return true;
    list.append(text);
    return false;
}

bool hexBitIsSet(const QString& hex, int n)
{
    if (n < 1 || n > 32)
        return false;
    bool ok = false;
    const quint64 value = hex.trimmed().toULongLong(&ok, 16);
    if (!ok)
        return false;
    const quint64 bit = quint64(1) << (n - 1);
    return (value & bit) == bit;
}

} // namespace velmar
