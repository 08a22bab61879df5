#include "gnupg_home.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace velmar::testing {

namespace {

GpgRun runTool(const QString& program, const QString& home, const QStringList& args,
               const QByteArray& input)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GNUPGHOME"), home);
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(env);
    process.start(program, args);
    GpgRun run;
    if (!process.waitForStarted(10000))
        return run;
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace

GnupgHome::GnupgHome() : m_dir(QStringLiteral("/tmp/velmar-gpg-XXXXXX"))
{
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile agent(m_dir.filePath(QStringLiteral("gpg-agent.conf")));
    if (agent.open(QIODevice::WriteOnly)) {
        // Passphrases come only through loopback; a real pinentry must never appear.
        // (A zero cache time would break key generation, which needs the passphrase
        // twice: tests that need a fresh question call forgetPassphrases().)
        agent.write("allow-loopback-pinentry\n"
                    "pinentry-program /bin/false\n");
    }
}

GnupgHome::~GnupgHome()
{
    runTool(QStringLiteral("gpgconf"), path(), {QStringLiteral("--kill"), QStringLiteral("all")},
            {});
}

GpgRun GnupgHome::gpg(const QStringList& args, const QByteArray& input) const
{
    QStringList all{QStringLiteral("--homedir"), path(), QStringLiteral("--batch"),
                    QStringLiteral("--no-tty")};
    all += args;
    return runTool(QStringLiteral("gpg"), path(), all, input);
}

QString GnupgHome::generateKey(const QString& name, const QString& email,
                               const QByteArray& passphrase)
{
    const QByteArray parameters = "Key-Type: EDDSA\nKey-Curve: ed25519\nKey-Usage: sign\n"
                                  "Subkey-Type: ECDH\nSubkey-Curve: cv25519\n"
                                  "Subkey-Usage: encrypt\nName-Real: " +
                                  name.toUtf8() + "\nName-Email: " + email.toUtf8() +
                                  "\nExpire-Date: 0\nPassphrase: " + passphrase + "\n%commit\n";
    const QString parameterFile = m_dir.filePath(QStringLiteral("key-parameters"));
    QFile file(parameterFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(parameters) != parameters.size())
        return {};
    file.close();
    const GpgRun generated = gpg({QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                                  QStringLiteral("--gen-key"), parameterFile});
    file.remove();
    if (generated.exitCode != 0) {
        qWarning("gpg --gen-key failed: %s", generated.err.constData());
        return {};
    }
    const GpgRun listed = gpg({QStringLiteral("--with-colons"), QStringLiteral("--list-keys"),
                               QStringLiteral("<") + email + u'>'});
    static const QRegularExpression fpr(QStringLiteral("^fpr:+([0-9A-F]{40}):"),
                                        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = fpr.match(QString::fromUtf8(listed.out));
    return match.hasMatch() ? match.captured(1) : QString();
}

bool GnupgHome::importPublicKey(const GnupgHome& other, const QString& fingerprint)
{
    const GpgRun exported =
        other.gpg({QStringLiteral("--armor"), QStringLiteral("--export"), fingerprint});
    if (exported.exitCode != 0 || exported.out.isEmpty())
        return false;
    return gpg({QStringLiteral("--import")}, exported.out).exitCode == 0;
}

void GnupgHome::forgetPassphrases() const
{
    runTool(QStringLiteral("gpgconf"), path(),
            {QStringLiteral("--reload"), QStringLiteral("gpg-agent")}, {});
}

} // namespace velmar::testing
