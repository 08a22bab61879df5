#pragma once

// What the PGP component shows the user: the keys it offers and the dialogs that
// choose among them. The dialogs live in a widget library; tests script them.

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmar::pgp {

// How far the key ring trusts that a key belongs to its user ID.
enum class KeyValidity { Unknown, Undefined, Never, Marginal, Full, Ultimate };

// Japanese name of a validity, as the recipient list shows it.
QString validityText(KeyValidity validity);

// One usable key of the key ring, by its primary user ID.
struct KeyInfo {
    QString fingerprint;
    QString keyId; // the 16 hexadecimal digits
    QString name;
    QString email;
    KeyValidity validity = KeyValidity::Unknown;
};

struct RecipientRequest {
    QList<KeyInfo> recipients;
    QStringList preselected; // fingerprints chosen last time
    // Non-empty when the message is signed as well: the secret keys to sign with.
    QList<KeyInfo> signers;
    QString preselectedSigner;
};

struct RecipientChoice {
    QStringList recipients; // fingerprints, at least one
    QString signer;         // empty when not signing
};

class KeyChooser {
public:
    virtual ~KeyChooser() = default;
    // nullopt when the user cancels.
    virtual std::optional<RecipientChoice> chooseRecipients(const RecipientRequest& request) = 0;
    // Only asked when there are several secret keys. nullopt when the user cancels.
    virtual std::optional<QString> chooseSigner(const QList<KeyInfo>& signers,
                                                const QString& preselected) = 0;
};

} // namespace velmar::pgp
