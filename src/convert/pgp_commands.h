#pragma once

// The three PGP commands on the active text window: encrypt, decrypt, sign. The
// component does the cryptography and runs its own dialogs; these decide what
// happens to the window's text around it. The component's work runs away from the
// window's thread (a passphrase entry may stay open for minutes), and its result goes
// to the window the command started on.

#include <QString>
#include <functional>
#include <memory>

namespace velmar::components {
class CipherGate;
class ComponentRegistry;
} // namespace velmar::components
namespace velmar::platform {
class MessageBoxes;
}

namespace velmar::convert {

// The four check marks under "暗号化オプション".
struct PgpOptions {
    bool sign = false;      // m_pgpSign: encryption signs too
    bool send = false;      // m_pgpSend: send by IP Messenger after encrypting
    bool reply = false;     // m_pgpRes: reply-mark copy after decrypting
    bool iso2022jp = false; // m_pgpJIS: ISO-2022-JP around the PGP step
};

// The text of one text window. It may close while an operation runs.
class PgpDocument {
public:
    virtual ~PgpDocument() = default;
    virtual bool exists() const = 0;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    // While an operation works on the text, the user cannot change it.
    virtual void setBusy(bool busy) = 0;
};

// A PGP operation handed to the host to run: `work` away from the window's thread,
// `cancel` (on the window's thread) asks the component to stop, `done` runs on the
// window's thread once `work` has returned.
struct PgpOperation {
    QString description; // "暗号化", "復号化", "署名"
    std::function<void()> work;
    std::function<void()> cancel;
    std::function<void()> done;
};

// What the commands need from the main window.
class PgpHost {
public:
    virtual ~PgpHost() = default;
    virtual const components::ComponentRegistry& registry() const = 0;
    virtual platform::MessageBoxes& messageBoxes() = 0;
    virtual PgpOptions pgpOptions() const = 0;
    // The active text window, or nullptr when none is active.
    virtual std::unique_ptr<PgpDocument> activeDocument() = 0;
    // Runs `next` once it is known whether the PGP component exists (at once when it is).
    virtual void whenPgpKnown(std::function<void()> next) = 0;
    // The program's ISO-2022-JP conversion (toJis) or back to Shift_JIS, with its boxes;
    // empty when it could not convert (the user has been told).
    virtual QString kanjiConvert(const QString& text, bool toJis) = 0;
    // Runs the operation, showing that it runs and offering to cancel it.
    virtual void runOperation(PgpOperation operation) = 0;
    // A window for a result whose own window was closed meanwhile.
    virtual std::unique_ptr<PgpDocument> newDocument() = 0;
    // The send command for `document`'s text (the active text when null).
    virtual void sendMessage(PgpDocument* document) = 0;
    // Puts the reply mark before every line of `document` (no clipboard copy).
    virtual void addReplyMarks(PgpDocument& document) = 0;
    // Disables the PGP menu items once the component has gone missing.
    virtual void disablePgpItems() = 0;
};

class PgpCommands {
public:
    explicit PgpCommands(PgpHost& host) : m_host(host) {}

    // With "send" marked, the send command follows unless the encryption
    // failed or was cancelled, also when there was nothing to encrypt.
    void encrypt();
    // A signed message gets the verification text and the line
    // "*** PGP Verify Result" above it.
    void decrypt();
    // Replaces the text with its clear-signed form.
    void sign();
    // True from a click until its result has been applied.
    bool busy() const { return m_busy; }

private:
    using Document = std::shared_ptr<PgpDocument>;
    using Gate = std::shared_ptr<components::CipherGate>;
    // Starts `command` unless one is still running; it waits for the PGP check.
    void begin(void (PgpCommands::*command)(const PgpOptions&, const Document&));
    void encryptKnown(const PgpOptions& options, const Document& document);
    void decryptKnown(const PgpOptions& options, const Document& document);
    void signKnown(const PgpOptions& options, const Document& document);
    // Runs `call` on the component away from the window's thread, then `then` here.
    void run(const QString& description, const Document& document, const Gate& gate,
             std::function<QString()> call, std::function<void(const QString&)> then);
    // Puts `text` into `document`, or into a new window when it was closed meanwhile.
    void deliver(const Document& document, const QString& text);
    void finish() { m_busy = false; }
    void showImeWarning();
    Gate createGate();

    PgpHost& m_host;
    bool m_busy = false;
};

} // namespace velmar::convert
