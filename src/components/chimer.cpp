#include "components/chimer.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace velmar::components {

ChimerImpl::ChimerImpl() : m_effect(std::make_unique<QSoundEffect>()) {}

ChimerImpl::~ChimerImpl() = default;

bool ChimerImpl::backendAvailable()
{
    return !QMediaDevices::audioOutputs().isEmpty();
}

void ChimerImpl::Play(const QString& path)
{
    const QUrl source = QUrl::fromLocalFile(path);
    // Loading is asynchronous; a file that is already loaded plays at once.
    if (m_effect->source() != source)
        m_effect->setSource(source);
    m_effect->play();
}

} // namespace velmar::components

velmar::components::Chimer* velmar_create_chimer()
{
    if (!velmar::components::ChimerImpl::backendAvailable())
        return nullptr;
    return new velmar::components::ChimerImpl();
}
