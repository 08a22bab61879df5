#pragma once

#include "components/components.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

namespace velmar::components {

// Creates components by ProgID. A factory returns nullptr when its backend is
// missing (no audio output, no GnuPG): creation then fails like a missing library.
class ComponentRegistry {
public:
    using Factory = std::function<std::unique_ptr<Component>()>;

    // A registry holding every component this build provides.
    static ComponentRegistry withBuiltins();

    void add(const QString& progId, Factory factory);
    void remove(const QString& progId);

    // Any failure, a thrown exception included, yields nullptr.
    std::unique_ptr<Component> create(const QString& progId) const;

private:
    QHash<QString, Factory> m_factories;
};

// True when the component can be created (the object is released at once).
bool ComponentExists(const ComponentRegistry& registry, QStringView progId);

// ComponentExists, then a fresh instance into `target`. Returns whether it exists.
template <typename T>
bool CreateComponent(const ComponentRegistry& registry, std::unique_ptr<T>& target,
                     QStringView progId)
{
    if (!ComponentExists(registry, progId))
        return false;
    std::unique_ptr<Component> created = registry.create(progId.toString());
    T* typed = dynamic_cast<T*>(created.get());
    if (!typed)
        return false;
    created.release();
    target.reset(typed);
    return true;
}

} // namespace velmar::components
