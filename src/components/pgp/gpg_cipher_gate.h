#pragma once

// The PGP component backed by GnuPG. Keys come from the user's key ring; the
// passphrase is asked by gpg-agent's own pinentry, so this program never sees it.

#include "components/components.h"
#include "components/pgp/key_choice.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace velmar::settings {
class SettingsStore;
}
namespace velmar::components {
class ComponentRegistry;
}

namespace velmar::pgp {

struct CipherGateConfig {
    // Shows the recipient and signer dialogs; must outlive every component made.
    KeyChooser* chooser = nullptr;
    // Remembers the last recipients and signer; may be null.
    settings::SettingsStore* store = nullptr;
    // GnuPG's home folder; empty for its default ($GNUPGHOME or ~/.gnupg).
    QString homeDirectory;
    // Set only by tests: answers passphrase requests itself (loopback pinentry) instead
    // of gpg-agent's pinentry. nullopt cancels.
    std::function<std::optional<QByteArray>()> loopbackPassphrase;
};

// True when GnuPG's OpenPGP engine is installed and usable.
bool gnupgAvailable();

// nullptr when GnuPG is missing, so the component fails to create like a missing library.
std::unique_ptr<components::CipherGate> createCipherGate(const CipherGateConfig& config);

// Registers "CipherGate.Encrypt" with a factory that calls createCipherGate.
void addCipherGate(components::ComponentRegistry& registry, const CipherGateConfig& config);

} // namespace velmar::pgp
