#include "platform/account.h"

#include <pwd.h>
#include <unistd.h>

namespace velmar::platform {

QString accountName()
{
    const passwd* entry = ::getpwuid(::getuid());
    if (!entry)
        return qEnvironmentVariable("USER");
    // GECOS: full name, office, phones..., separated by commas.
    const QString fullName =
        QString::fromLocal8Bit(entry->pw_gecos ? entry->pw_gecos : "").section(u',', 0, 0);
    if (!fullName.trimmed().isEmpty())
        return fullName.trimmed();
    return QString::fromLocal8Bit(entry->pw_name);
}

} // namespace velmar::platform
