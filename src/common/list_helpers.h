#pragma once

// The shared procedures every window calls. The ones without a window live in the
// small library velmar_common, so the messaging engine can use them without widgets.

#include <QString>
#include <QStringList>

namespace velmar {

// Index of the first entry equal to `text` (compared in lower case when
// `caseSensitive` is false); -1 when absent or when the list is empty.
int findListItem(const QStringList& list, const QString& text, bool caseSensitive);

// True (and nothing added) when the text is already there; else appends it, false.
bool addListItemUnique(QStringList& list, const QString& text, bool caseSensitive);

// `hex` read as a hexadecimal number; true when bit n-1 is set (n counted from 1).
bool hexBitIsSet(const QString& hex, int n);

} // namespace velmar
