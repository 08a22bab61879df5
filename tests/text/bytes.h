#pragma once

#include <QByteArray>
#include <initializer_list>

namespace velmar::text {

// Bytes written as numbers, for exact file contents in tests.
inline QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

} // namespace velmar::text
