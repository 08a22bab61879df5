#include "convert/pgp_commands.h"

#include "components/registry.h"
#include "platform/message_boxes.h"

#include <exception>

namespace velmar::convert {

namespace {

using components::CipherGate;
using components::CipherStatus;
using components::SignatureStatus;

const QString ErrorTitle = QStringLiteral("エラー");
const QString NoticeTitle = QStringLiteral("注意");

// Armoured PGP data starts with a line such as "-----BEGIN PGP MESSAGE-----".
bool holdsPgpBlock(const QString& text)
{
    return text.contains(QLatin1String("-----BEGIN PGP "));
}

} // namespace

void PgpCommands::showImeWarning()
{
    m_host.messageBoxes().show(ErrorTitle,
                               QStringLiteral("IME ON だとパスフレーズが画面に表示されるかも\r\n"
                                              "IME のモードに気をつけて!"));
}

PgpCommands::Gate PgpCommands::createGate()
{
    std::unique_ptr<CipherGate> gate;
    components::CreateComponent(m_host.registry(), gate, CipherGate::ProgId);
    return Gate(std::move(gate));
}

void PgpCommands::begin(void (PgpCommands::*command)(const PgpOptions&, const Document&))
{
    if (m_busy) {
        m_host.messageBoxes().show(
            NoticeTitle,
            QStringLiteral("PGP の処理中です。終わるか中止してから、もう一度どうぞ。"));
        return;
    }
    m_busy = true;
    // The window is the one active at the click, whatever is active when GnuPG answers;
    // the option marks are read then, once restored.
    const Document document(m_host.activeDocument());
    m_host.whenPgpKnown(
        [this, command, document] { (this->*command)(m_host.pgpOptions(), document); });
}

void PgpCommands::encrypt()
{
    begin(&PgpCommands::encryptKnown);
}

void PgpCommands::decrypt()
{
    begin(&PgpCommands::decryptKnown);
}

void PgpCommands::sign()
{
    begin(&PgpCommands::signKnown);
}

void PgpCommands::run(const QString& description, const Document& document, const Gate& gate,
                      std::function<QString()> call, std::function<void(const QString&)> then)
{
    struct Outcome {
        QString text;
        bool threw = false;
    };
    auto outcome = std::make_shared<Outcome>();
    if (document)
        document->setBusy(true);
    m_host.runOperation(PgpOperation{description,
                                     [outcome, call = std::move(call)] {
                                         try {
                                             outcome->text = call();
                                         } catch (const std::exception&) {
                                             outcome->threw = true;
                                         } catch (...) {
                                             outcome->threw = true;
                                         }
                                     },
                                     [gate] { gate->Cancel(); },
                                     [this, outcome, document, gate, then = std::move(then)] {
                                         if (document)
                                             document->setBusy(false);
                                         // A failing component ends the command; the window keeps
                                         // its text.
                                         if (!outcome->threw)
                                             then(outcome->text);
                                         finish();
                                     }});
}

void PgpCommands::deliver(const Document& document, const QString& text)
{
    if (document && document->exists()) {
        document->setText(text);
        return;
    }
    if (const Document replacement{m_host.newDocument()})
        replacement->setText(text);
    m_host.messageBoxes().show(
        NoticeTitle,
        QStringLiteral(
            "PGP "
            "の処理中に元のウィンドウが閉じられたため、結果を新しいウィンドウに表示しました。"));
}

void PgpCommands::encryptKnown(const PgpOptions& options, const Document& document)
{
    // With "send" marked, nothing to encrypt still sends; a failure or a cancel does not.
    const auto sendIfMarked = [this, options](PgpDocument* sent) {
        if (options.send)
            m_host.sendMessage(sent);
    };
    if (!document || document->text().isEmpty()) {
        finish();
        sendIfMarked(document.get());
        return;
    }
    const Gate gate = createGate();
    if (!gate) {
        m_host.disablePgpItems();
        finish();
        sendIfMarked(document.get());
        return;
    }
    QString text = document->text();
    if (options.iso2022jp) {
        const QString converted = m_host.kanjiConvert(text, true);
        if (!converted.isEmpty())
            text = converted;
    }
    showImeWarning();
    const QString signFlag = options.sign ? QStringLiteral("0") : QStringLiteral("1");
    run(
        QStringLiteral("暗号化"), document, gate,
        [gate, text, flag = signFlag]() mutable { return gate->EncryptUI(text, flag); },
        [this, gate, document, sendIfMarked](const QString& encrypted) mutable {
            switch (gate->IsError()) {
            case CipherStatus::Failed:
                m_host.messageBoxes().show(ErrorTitle, QStringLiteral("暗号処理でエラーです"));
                return;
            case CipherStatus::Cancelled:
                return;
            case CipherStatus::Ok:
                break;
            }
            deliver(document, encrypted);
            sendIfMarked(document.get());
        });
}

void PgpCommands::signKnown(const PgpOptions& options, const Document& document)
{
    if (!document || document->text().isEmpty())
        return finish();
    const Gate gate = createGate();
    if (!gate)
        return finish();
    QString text = document->text();
    if (options.iso2022jp)
        text = m_host.kanjiConvert(text, true);
    if (text.isEmpty())
        return finish();
    showImeWarning();
    run(
        QStringLiteral("署名"), document, gate,
        [gate, text]() mutable { return gate->SignUI(text); },
        [this, gate, document, options](QString result) mutable {
            if (gate->IsError() == CipherStatus::Failed) {
                m_host.messageBoxes().show(ErrorTitle, QStringLiteral("署名処理でエラーです"));
                return;
            }
            if (gate->IsError() == CipherStatus::Cancelled)
                return;
            if (options.iso2022jp)
                result = m_host.kanjiConvert(result, false);
            // An empty result (the conversion refused) must not wipe the window.
            if (!result.isEmpty())
                deliver(document, result);
        });
}

void PgpCommands::decryptKnown(const PgpOptions& options, const Document& document)
{
    if (!document || document->text().isEmpty())
        return finish();
    const Gate gate = createGate();
    if (!gate) {
        m_host.disablePgpItems();
        return finish();
    }
    showImeWarning();
    const QString original = document->text();
    QString text = original;
    if (options.iso2022jp)
        text = m_host.kanjiConvert(text, true);
    if (text.isEmpty())
        return finish();
    run(
        QStringLiteral("復号化"), document, gate,
        [gate, text]() mutable { return gate->DecryptUI(text); },
        [this, gate, document, options, original](QString plain) mutable {
            const CipherStatus status = gate->IsError();
            if (status == CipherStatus::Failed) {
                m_host.messageBoxes().show(
                    ErrorTitle,
                    holdsPgpBlock(original)
                        ? QStringLiteral("復号処理でエラーです")
                        : QStringLiteral(
                              "復号処理でエラーです\r\n"
                              "PGP のブロック（-----BEGIN PGP で始まる行）が見つかりません。"));
                return;
            }
            if (status == CipherStatus::Cancelled)
                return;
            if (options.iso2022jp) {
                const QString converted = m_host.kanjiConvert(plain, false);
                if (!converted.isEmpty())
                    plain = converted;
            }
            const QString verification =
                gate->IsSign() == SignatureStatus::None ? QString() : gate->GetVerifyResultString();
            if (!verification.isEmpty())
                plain = verification + QStringLiteral("*** PGP Verify Result\r\n") + plain;
            deliver(document, plain);
            if (options.reply && document && document->exists())
                m_host.addReplyMarks(*document);
        });
}

} // namespace velmar::convert
