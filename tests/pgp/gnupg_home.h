#pragma once

// A throw-away GnuPG home for tests: its own key ring and agent, no real pinentry.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace velmar::testing {

struct GpgRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class GnupgHome {
public:
    GnupgHome();
    ~GnupgHome();
    GnupgHome(const GnupgHome&) = delete;
    GnupgHome& operator=(const GnupgHome&) = delete;

    QString path() const { return m_dir.path(); }
    bool isValid() const { return m_dir.isValid(); }

    // gpg --homedir <home> --batch <args>, with `input` on its standard input.
    GpgRun gpg(const QStringList& args, const QByteArray& input = {}) const;
    // A new ed25519/cv25519 key pair; returns its fingerprint (empty on failure).
    QString generateKey(const QString& name, const QString& email, const QByteArray& passphrase);
    // Copies the public key `fingerprint` of `other` into this key ring.
    bool importPublicKey(const GnupgHome& other, const QString& fingerprint);
    // Forgets every cached passphrase.
    void forgetPassphrases() const;

private:
    QTemporaryDir m_dir;
};

} // namespace velmar::testing
