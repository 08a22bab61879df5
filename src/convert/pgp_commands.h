#pragma once

// The three PGP commands on the active text window: encrypt, decrypt, sign. The
// component does the cryptography and runs its own dialogs; these decide what
// happens to the window's text around it.

#include <QString>
#include <memory>

namespace velmar::components {
class ComponentRegistry;
}
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

// The text of one text window. It may close while a dialog is open; setting the text
// of a closed window does nothing.
class PgpDocument {
public:
    virtual ~PgpDocument() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
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
    // The send command: the active text goes to the user-list dialog.
    virtual void sendMessage() = 0;
    // Puts the reply mark before every line of the active window (no clipboard copy).
    virtual void addReplyMarks() = 0;
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

private:
    enum class Outcome { Done, Failed, Cancelled, Skipped };
    Outcome encryptActive(const PgpOptions& options);
    void showImeWarning();
    // ISO-2022-JP (toJis) or back through the kanji filter; empty when it is missing.
    QString kanjiConvert(const QString& text, bool toJis);

    PgpHost& m_host;
};

} // namespace velmar::convert
