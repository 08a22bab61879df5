#pragma once

#include "components/components.h"

#include <memory>

class QSoundEffect;

namespace velmar::components {

// The sound component: plays a WAV file through the default audio output. It can
// only be created where an audio output exists.
class ChimerImpl final : public Chimer {
public:
    ChimerImpl();
    ~ChimerImpl() override;

    static bool backendAvailable();
    void Play(const QString& path) override;

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

} // namespace velmar::components
