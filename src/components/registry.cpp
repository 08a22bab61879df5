#include "components/registry.h"

#include "components/chimer.h"
#include "components/converters.h"
#include "components/textgauge.h"

namespace velmar::components {

ComponentRegistry ComponentRegistry::withBuiltins()
{
    ComponentRegistry registry;
    registry.add(Textgauge::ProgId.toString(), [] { return std::make_unique<TextgaugeImpl>(); });
    registry.add(Chimer::ProgId.toString(),
                 []() -> std::unique_ptr<Component> { return loadChimer(); });
    registry.add(KanjiPipe::ProgId.toString(), [] { return std::make_unique<KanjiPipeImpl>(); });
    registry.add(Radixer::ProgId.toString(), [] { return std::make_unique<RadixerImpl>(); });
    registry.add(Escaper::ProgId.toString(), [] { return std::make_unique<EscaperImpl>(); });
    return registry;
}

void ComponentRegistry::add(const QString& progId, Factory factory)
{
    m_factories.insert(progId, std::move(factory));
}

void ComponentRegistry::remove(const QString& progId)
{
    m_factories.remove(progId);
}

std::unique_ptr<Component> ComponentRegistry::create(const QString& progId) const
{
    const auto it = m_factories.constFind(progId);
    if (it == m_factories.constEnd())
        return nullptr;
    try {
        return (*it)();
    } catch (...) {
        return nullptr;
    }
}

bool ComponentExists(const ComponentRegistry& registry, QStringView progId)
{
    return registry.create(progId.toString()) != nullptr;
}

} // namespace velmar::components
