#include "components/chimer.h"
#include "version.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

namespace velmar::components {

namespace {

// The installed module beside the binary's prefix, then the one of the build tree.
QStringList modulePaths()
{
    QStringList paths;
    if (QCoreApplication::instance()) {
        QString prefix = QCoreApplication::applicationDirPath();
        for (qsizetype i = 0, n = QString::fromLatin1(InstallBinDir).count(u'/') + 1; i < n; ++i)
            prefix += QStringLiteral("/..");
        paths << prefix + u'/' + QString::fromLatin1(InstallModuleDir) +
                     QStringLiteral("/libvelmar_sound.so");
    }
    paths << QString::fromLocal8Bit(VELMAR_SOUND_MODULE_BUILD_PATH);
    return paths;
}

} // namespace

std::unique_ptr<Chimer> loadChimer()
{
    using Create = Chimer* (*)();
    // Loaded once and kept for the program's life: the component's code lives in it.
    static QLibrary* const module = [] {
        for (const QString& path : modulePaths()) {
            auto* library = new QLibrary(path);
            if (library->resolve("velmar_create_chimer"))
                return library;
            delete library;
        }
        return static_cast<QLibrary*>(nullptr);
    }();
    static const Create create =
        module ? reinterpret_cast<Create>(module->resolve("velmar_create_chimer")) : nullptr;
    return std::unique_ptr<Chimer>(create ? create() : nullptr);
}

} // namespace velmar::components
