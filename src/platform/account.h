#pragma once

#include <QString>

namespace velmar::platform {

// The full name of the account the program runs under (the first field of its
// GECOS entry), or its login name when it has none.
QString accountName();

} // namespace velmar::platform
