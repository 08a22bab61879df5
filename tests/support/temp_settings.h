#pragma once

#include "settings/settings_store.h"

#include <QTemporaryDir>
#include <memory>

namespace velmar::testing {

// A settings store in a fresh temporary folder, removed with the fixture.
struct TempSettings {
    QTemporaryDir dir;
    std::unique_ptr<settings::SettingsStore> store =
        std::make_unique<settings::SettingsStore>(dir.filePath(QStringLiteral("Velmar5.ini")));
};

} // namespace velmar::testing
