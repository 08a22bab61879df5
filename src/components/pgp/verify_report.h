#pragma once

// The verdict on the signatures of a message, as numbers and as the text the user reads.

#include "components/components.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace velmar::pgp {

enum class SignatureVerdict {
    GoodValidKey,      // good, and the key is known to be its user's
    GoodUnverifiedKey, // good, but nobody vouched for the key
    Bad,               // the text or the signature was changed
    KeyMissing,        // no public key to check it with
    KeyRevoked,
    KeyExpired,
    SignatureExpired,
    Unverifiable, // any other failure; `detail` says which
};

struct SignatureFacts {
    QString userId; // empty when the key is not in the key ring
    QString fingerprint;
    QDateTime created; // invalid when unknown
    SignatureVerdict verdict = SignatureVerdict::Unverifiable;
    QString detail;
};

// None without signatures, Good when every one is good and made by a valid key,
// Questionable otherwise.
components::SignatureStatus signatureStatus(const QList<SignatureFacts>& signatures);

// One block per signature (signer, fingerprint, time, verdict), blocks separated by an
// empty line, every line ending in CR LF. Empty without signatures.
QString verifyResultText(const QList<SignatureFacts>& signatures);

// "ABCD 1234 ..." in groups of four.
QString groupedFingerprint(const QString& fingerprint);

} // namespace velmar::pgp
