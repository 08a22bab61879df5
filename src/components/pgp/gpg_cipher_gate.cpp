#include "components/pgp/gpg_cipher_gate.h"

#include "common/code_page.h"
#include "components/pgp/verify_report.h"
#include "components/registry.h"
#include "platform/line_breaks.h"
#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QThread>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gpgme++/context.h>
#include <gpgme++/data.h>
#include <gpgme++/decryptionresult.h>
#include <gpgme++/encryptionresult.h>
#include <gpgme++/engineinfo.h>
#include <gpgme++/error.h>
#include <gpgme++/global.h>
#include <gpgme++/interfaces/passphraseprovider.h>
#include <gpgme++/key.h>
#include <gpgme++/keylistresult.h>
#include <gpgme++/signingresult.h>
#include <gpgme++/verificationresult.h>
#include <mutex>
#include <vector>

namespace velmar::pgp {

namespace {

using components::CipherStatus;
using components::SignatureStatus;

void initialiseGpgme()
{
    static std::once_flag once;
    std::call_once(once, [] { GpgME::initializeLibrary(); });
}

// Hands a passphrase from the loopback source to GnuPG. GPGME frees the returned
// buffer with free() after wiping it.
class LoopbackProvider final : public GpgME::PassphraseProvider {
public:
    explicit LoopbackProvider(std::function<std::optional<QByteArray>()> source)
        : m_source(std::move(source))
    {
    }

    char* getPassphrase(const char*, const char*, bool, bool& canceled) override
    {
        const std::optional<QByteArray> passphrase = m_source();
        if (!passphrase) {
            canceled = true;
            return nullptr;
        }
        canceled = false;
        char* copy = static_cast<char*>(std::malloc(size_t(passphrase->size()) + 1));
        if (!copy)
            return nullptr;
        std::memcpy(copy, passphrase->constData(), size_t(passphrase->size()));
        copy[passphrase->size()] = '\0';
        return copy;
    }

private:
    std::function<std::optional<QByteArray>()> m_source;
};

// The key dialogs and the settings store belong to the window's thread; an operation
// running elsewhere asks there and waits for the answer.
template <typename Result> Result onWindowThread(const std::function<Result()>& call)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return call();
    Result result{};
    // When the application goes away first, the call is dropped and the default
    // (no choice, nothing stored) stands.
    QMetaObject::invokeMethod(
        app, [&result, &call] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
}

// GnuPG works with LF line breaks; the program's text has CR LF.
QByteArray toGnupg(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding);
    return encoder(platform::crlfToLf(text));
}

QByteArray toGnupg(const QString& text)
{
    return toGnupg(text, QStringConverter::Utf8);
}

// Messages from other programs may be in Shift_JIS: UTF-8 when the bytes are valid
// UTF-8, Shift_JIS otherwise.
QString fromGnupg(const std::string& bytes)
{
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8(view);
    if (utf8.hasError()) {
        QStringDecoder shiftJis(CodePage932);
        if (shiftJis.isValid()) {
            text = shiftJis(view);
            restoreControlCharacters(text);
        }
    }
    return platform::toCrlf(text);
}

GpgME::Data dataOf(const QByteArray& bytes)
{
    return GpgME::Data(bytes.constData(), size_t(bytes.size()), true);
}

QString latin(const char* text)
{
    return text ? QString::fromLatin1(text) : QString();
}

QString utf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

KeyValidity validityOf(GpgME::UserID::Validity validity)
{
    switch (validity) {
    case GpgME::UserID::Unknown:
        return KeyValidity::Unknown;
    case GpgME::UserID::Undefined:
        return KeyValidity::Undefined;
    case GpgME::UserID::Never:
        return KeyValidity::Never;
    case GpgME::UserID::Marginal:
        return KeyValidity::Marginal;
    case GpgME::UserID::Full:
        return KeyValidity::Full;
    case GpgME::UserID::Ultimate:
        return KeyValidity::Ultimate;
    }
    return KeyValidity::Unknown;
}

KeyInfo infoOf(const GpgME::Key& key)
{
    const GpgME::UserID uid = key.userID(0);
    QString email = utf8(uid.email());
    if (email.startsWith(u'<') && email.endsWith(u'>'))
        email = email.mid(1, email.size() - 2);
    return KeyInfo{latin(key.primaryFingerprint()), latin(key.keyID()), utf8(uid.name()), email,
                   validityOf(uid.validity())};
}

SignatureVerdict verdictOf(const GpgME::Signature& signature)
{
    const unsigned summary = signature.summary();
    const int code = signature.status().code();
    if ((summary & GpgME::Signature::Red) || code == GPG_ERR_BAD_SIGNATURE)
        return SignatureVerdict::Bad;
    if ((summary & GpgME::Signature::KeyMissing) || code == GPG_ERR_NO_PUBKEY)
        return SignatureVerdict::KeyMissing;
    if ((summary & GpgME::Signature::KeyRevoked) || code == GPG_ERR_CERT_REVOKED)
        return SignatureVerdict::KeyRevoked;
    if ((summary & GpgME::Signature::KeyExpired) || code == GPG_ERR_KEY_EXPIRED)
        return SignatureVerdict::KeyExpired;
    if ((summary & GpgME::Signature::SigExpired) || code == GPG_ERR_SIG_EXPIRED)
        return SignatureVerdict::SignatureExpired;
    if (code != GPG_ERR_NO_ERROR)
        return SignatureVerdict::Unverifiable;
    if (summary & GpgME::Signature::Valid)
        return SignatureVerdict::GoodValidKey;
    return SignatureVerdict::GoodUnverifiedKey;
}

class GpgCipherGate final : public components::CipherGate {
public:
    explicit GpgCipherGate(CipherGateConfig config) : m_config(std::move(config))
    {
        if (m_config.loopbackPassphrase)
            m_provider = std::make_unique<LoopbackProvider>(m_config.loopbackPassphrase);
    }

    QString EncryptUI(QString& text, QString& signFlag) override;
    QString SignUI(QString& text) override;
    QString DecryptUI(QString& text) override;
    CipherStatus IsError() override { return m_status; }
    SignatureStatus IsSign() override { return m_signature; }
    QString GetVerifyResultString() override { return m_verifyText; }
    void Cancel() override;

private:
    // Marks `context` as the one a Cancel() stops while the guard lives.
    class Cancellable {
    public:
        Cancellable(const GpgCipherGate& gate, GpgME::Context& context);
        ~Cancellable();
        Cancellable(const Cancellable&) = delete;
        Cancellable& operator=(const Cancellable&) = delete;

    private:
        const GpgCipherGate& m_gate;
    };
    bool cancelled() const;
    QString readSetting(const settings::Setting& key) const;
    void writeSetting(const settings::Setting& key, const QString& value) const;
    std::unique_ptr<GpgME::Context> newContext() const;
    std::vector<GpgME::Key> listKeys(bool secret) const;
    QString signerUserId(const GpgME::Signature& signature) const;
    QList<SignatureFacts> factsOf(const GpgME::VerificationResult& result) const;
    struct Verified {
        QList<SignatureFacts> facts; // never empty
        QString text;
    };
    // Verifies a clear-signed or signed-only message; nullopt when it holds no signature.
    std::optional<Verified> verify(const QString& text) const;
    std::optional<Verified> verifyBytes(const QByteArray& bytes) const;
    void reset();
    // Records the outcome of an operation from its error.
    void finish(const GpgME::Error& error);
    QString rememberedSigner(const std::vector<GpgME::Key>& signers) const;

    CipherGateConfig m_config;
    std::unique_ptr<LoopbackProvider> m_provider;
    CipherStatus m_status = CipherStatus::Ok;
    SignatureStatus m_signature = SignatureStatus::None;
    QString m_verifyText;
    mutable std::mutex m_cancelMutex;
    mutable GpgME::Context* m_running = nullptr;
    bool m_cancelled = false;
};

GpgCipherGate::Cancellable::Cancellable(const GpgCipherGate& gate, GpgME::Context& context)
    : m_gate(gate)
{
    const std::lock_guard lock(gate.m_cancelMutex);
    gate.m_running = &context;
    if (gate.m_cancelled)
        context.cancelPendingOperation();
}

GpgCipherGate::Cancellable::~Cancellable()
{
    const std::lock_guard lock(m_gate.m_cancelMutex);
    m_gate.m_running = nullptr;
}

void GpgCipherGate::Cancel()
{
    const std::lock_guard lock(m_cancelMutex);
    m_cancelled = true;
    if (m_running)
        m_running->cancelPendingOperation();
}

bool GpgCipherGate::cancelled() const
{
    const std::lock_guard lock(m_cancelMutex);
    return m_cancelled;
}

QString GpgCipherGate::readSetting(const settings::Setting& key) const
{
    if (!m_config.store)
        return {};
    return onWindowThread<QString>([this, &key] { return m_config.store->read(key); });
}

void GpgCipherGate::writeSetting(const settings::Setting& key, const QString& value) const
{
    if (!m_config.store)
        return;
    onWindowThread<bool>([this, &key, &value] {
        m_config.store->write(key, value);
        return true;
    });
}

std::unique_ptr<GpgME::Context> GpgCipherGate::newContext() const
{
    std::unique_ptr<GpgME::Context> context = GpgME::Context::create(GpgME::OpenPGP);
    if (!context)
        return nullptr;
    context->setArmor(true);
    context->setTextMode(true);
    if (!m_config.homeDirectory.isEmpty())
        context->setEngineHomeDirectory(m_config.homeDirectory.toLocal8Bit().constData());
    if (m_provider) {
        context->setPinentryMode(GpgME::Context::PinentryLoopback);
        context->setPassphraseProvider(m_provider.get());
    }
    return context;
}

std::vector<GpgME::Key> GpgCipherGate::listKeys(bool secret) const
{
    std::vector<GpgME::Key> keys;
    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context || context->startKeyListing(static_cast<const char*>(nullptr), secret))
        return keys;
    for (;;) {
        GpgME::Error error;
        GpgME::Key key = context->nextKey(error);
        if (error || key.isNull())
            break;
        if (key.isBad() || key.isDisabled())
            continue;
        if (secret ? key.canReallySign() : key.canEncrypt())
            keys.push_back(key);
    }
    context->endKeyListing();
    return keys;
}

void GpgCipherGate::reset()
{
    m_status = CipherStatus::Ok;
    m_signature = SignatureStatus::None;
    m_verifyText.clear();
}

void GpgCipherGate::finish(const GpgME::Error& error)
{
    if (error.isCanceled())
        m_status = CipherStatus::Cancelled;
    else if (error.code() != GPG_ERR_NO_ERROR)
        m_status = CipherStatus::Failed;
    else
        m_status = CipherStatus::Ok;
}

QString GpgCipherGate::rememberedSigner(const std::vector<GpgME::Key>& signers) const
{
    const QString remembered = readSetting(settings::keys::PgpSigner);
    for (const GpgME::Key& key : signers) {
        if (latin(key.primaryFingerprint()) == remembered)
            return remembered;
    }
    // GnuPG's own default is the first secret key of the ring.
    return signers.empty() ? QString() : latin(signers.front().primaryFingerprint());
}

QString GpgCipherGate::EncryptUI(QString& text, QString& signFlag)
{
    reset();
    const bool sign = signFlag == u"0";
    const std::vector<GpgME::Key> recipients = listKeys(false);
    const std::vector<GpgME::Key> signers = sign ? listKeys(true) : std::vector<GpgME::Key>();
    if (!m_config.chooser || (sign && signers.empty())) {
        m_status = CipherStatus::Failed;
        return text;
    }

    RecipientRequest request;
    for (const GpgME::Key& key : recipients)
        request.recipients.append(infoOf(key));
    for (const GpgME::Key& key : signers)
        request.signers.append(infoOf(key));
    request.preselected =
        readSetting(settings::keys::PgpRecipients).split(u',', Qt::SkipEmptyParts);
    if (sign)
        request.preselectedSigner = rememberedSigner(signers);

    KeyChooser* chooser = m_config.chooser;
    const std::optional<RecipientChoice> choice = onWindowThread<std::optional<RecipientChoice>>(
        [chooser, &request] { return chooser->chooseRecipients(request); });
    if (!choice || choice->recipients.isEmpty() || cancelled()) {
        m_status = CipherStatus::Cancelled;
        return text;
    }
    writeSetting(settings::keys::PgpRecipients, choice->recipients.join(u','));
    if (sign)
        writeSetting(settings::keys::PgpSigner, choice->signer);

    std::vector<GpgME::Key> chosen;
    for (const GpgME::Key& key : recipients) {
        if (choice->recipients.contains(latin(key.primaryFingerprint())))
            chosen.push_back(key);
    }
    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context || chosen.empty()) {
        m_status = CipherStatus::Failed;
        return text;
    }
    if (sign) {
        for (const GpgME::Key& key : signers) {
            if (latin(key.primaryFingerprint()) == choice->signer)
                context->addSigningKey(key);
        }
    }

    const GpgME::Data plain = dataOf(toGnupg(text));
    GpgME::Data cipher;
    // The user picked each recipient in the dialog, which shows every key's validity:
    // that choice stands in for GnuPG's trust check.
    const auto flags = GpgME::Context::AlwaysTrust;
    GpgME::Error error;
    const Cancellable cancellable(*this, *context);
    if (sign) {
        const auto results = context->signAndEncrypt(chosen, plain, cipher, flags);
        error = results.first.error() ? results.first.error() : results.second.error();
        if (!error && results.first.createdSignatures().empty())
            error = GpgME::Error::fromCode(GPG_ERR_GENERAL);
    } else {
        error = context->encrypt(chosen, plain, cipher, flags).error();
    }
    finish(error);
    if (m_status != CipherStatus::Ok)
        return text;
    return fromGnupg(cipher.toString());
}

QString GpgCipherGate::SignUI(QString& text)
{
    reset();
    const std::vector<GpgME::Key> signers = listKeys(true);
    if (signers.empty()) {
        m_status = CipherStatus::Failed;
        return text;
    }
    QString signer = rememberedSigner(signers);
    if (signers.size() > 1) {
        QList<KeyInfo> choices;
        for (const GpgME::Key& key : signers)
            choices.append(infoOf(key));
        KeyChooser* chooser = m_config.chooser;
        const std::optional<QString> chosen =
            chooser ? onWindowThread<std::optional<QString>>([chooser, &choices, &signer] {
                return chooser->chooseSigner(choices, signer);
            })
                    : std::nullopt;
        if (!chosen || cancelled()) {
            m_status = CipherStatus::Cancelled;
            return text;
        }
        signer = *chosen;
        writeSetting(settings::keys::PgpSigner, signer);
    }

    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context) {
        m_status = CipherStatus::Failed;
        return text;
    }
    for (const GpgME::Key& key : signers) {
        if (latin(key.primaryFingerprint()) == signer)
            context->addSigningKey(key);
    }
    const GpgME::Data plain = dataOf(toGnupg(text));
    GpgME::Data signedText;
    const Cancellable cancellable(*this, *context);
    const GpgME::SigningResult result = context->sign(plain, signedText, GpgME::Clearsigned);
    GpgME::Error error = result.error();
    if (!error && result.createdSignatures().empty())
        error = GpgME::Error::fromCode(GPG_ERR_GENERAL);
    finish(error);
    if (m_status != CipherStatus::Ok)
        return text;
    return fromGnupg(signedText.toString());
}

QString GpgCipherGate::signerUserId(const GpgME::Signature& signature) const
{
    const char* fingerprint = signature.fingerprint();
    if (!fingerprint || !*fingerprint)
        return {};
    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context)
        return {};
    GpgME::Error error;
    const GpgME::Key key = context->key(fingerprint, error, false);
    if (error || key.isNull())
        return {};
    return utf8(key.userID(0).id());
}

QList<SignatureFacts> GpgCipherGate::factsOf(const GpgME::VerificationResult& result) const
{
    QList<SignatureFacts> facts;
    for (const GpgME::Signature& signature : result.signatures()) {
        SignatureFacts one;
        one.fingerprint = latin(signature.fingerprint());
        one.userId = signerUserId(signature);
        if (signature.creationTime() > 0)
            one.created = QDateTime::fromSecsSinceEpoch(qint64(signature.creationTime()));
        one.verdict = verdictOf(signature);
        if (one.verdict == SignatureVerdict::Unverifiable)
            one.detail = utf8(signature.status().asString());
        facts.append(one);
    }
    return facts;
}

std::optional<GpgCipherGate::Verified> GpgCipherGate::verifyBytes(const QByteArray& bytes) const
{
    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context)
        return std::nullopt;
    GpgME::Data output;
    const GpgME::VerificationResult result = context->verifyOpaqueSignature(dataOf(bytes), output);
    if (result.error() || result.numSignatures() == 0)
        return std::nullopt;
    return Verified{factsOf(result), fromGnupg(output.toString())};
}

std::optional<GpgCipherGate::Verified> GpgCipherGate::verify(const QString& text) const
{
    std::optional<Verified> verified = verifyBytes(toGnupg(text));
    if (!verified || verified->facts.first().verdict != SignatureVerdict::Bad)
        return verified;
    // A text signed as Shift_JIS elsewhere only verifies with those bytes, so a bad
    // signature over a non-ASCII text gets a second chance with them.
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return verified;
    const CodePage932Bytes shiftJis = encodeCodePage932(platform::crlfToLf(text));
    if (!shiftJis.ok())
        return verified;
    std::optional<Verified> second = verifyBytes(shiftJis.bytes);
    if (second && second->facts.first().verdict != SignatureVerdict::Bad)
        return second;
    return verified;
}

QString GpgCipherGate::DecryptUI(QString& text)
{
    reset();
    std::unique_ptr<GpgME::Context> context = newContext();
    if (!context) {
        m_status = CipherStatus::Failed;
        return text;
    }
    GpgME::Data plain;
    const auto results = [&] {
        const Cancellable cancellable(*this, *context);
        return context->decryptAndVerify(dataOf(toGnupg(text)), plain);
    }();
    const GpgME::Error error = results.first.error();
    if (error.code() == GPG_ERR_NO_DATA) {
        // Not encrypted: a clear-signed or signed-only message.
        const std::optional<Verified> verified = verify(text);
        if (!verified) {
            m_status = CipherStatus::Failed;
            return text;
        }
        m_signature = signatureStatus(verified->facts);
        m_verifyText = verifyResultText(verified->facts);
        return verified->text;
    }
    finish(error);
    if (m_status != CipherStatus::Ok)
        return text;
    const QList<SignatureFacts> facts = factsOf(results.second);
    m_signature = signatureStatus(facts);
    m_verifyText = verifyResultText(facts);
    return fromGnupg(plain.toString());
}

} // namespace

bool gnupgAvailable()
{
    initialiseGpgme();
    return !GpgME::checkEngine(GpgME::OpenPGP);
}

std::unique_ptr<components::CipherGate> createCipherGate(const CipherGateConfig& config)
{
    if (!gnupgAvailable())
        return nullptr;
    return std::make_unique<GpgCipherGate>(config);
}

void addCipherGate(components::ComponentRegistry& registry, const CipherGateConfig& config)
{
    registry.add(
        components::CipherGate::ProgId.toString(),
        [config]() -> std::unique_ptr<components::Component> { return createCipherGate(config); });
}

} // namespace velmar::pgp
