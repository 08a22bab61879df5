#pragma once

#include "components/components.h"

#include <memory>

class QSoundEffect;

namespace velmar::components {

// The sound component: plays a WAV file through the default audio output. It lives
// in a module of its own (velmar_sound), loaded when a sound is first wanted, so that
// the audio libraries and the sound server cost the start-up nothing.
class ChimerImpl final : public Chimer {
public:
    ChimerImpl();
    ~ChimerImpl() override;

    static bool backendAvailable();
    void Play(const QString& path) override;

private:
    std::unique_ptr<QSoundEffect> m_effect;
};

// Loads the sound module and makes its component; nullptr when the module is missing
// or there is no audio output.
std::unique_ptr<Chimer> loadChimer();

} // namespace velmar::components

// The module's one entry point: a new component, or nullptr without an audio output.
extern "C" Q_DECL_EXPORT velmar::components::Chimer* velmar_create_chimer();
