#include "convert/pgp_commands.h"

#include "components/registry.h"
#include "platform/message_boxes.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <exception>

namespace velmar::convert {

namespace {

using components::CipherGate;
using components::CipherStatus;
using components::SignatureStatus;

const QString ErrorTitle = QStringLiteral("エラー");

std::unique_ptr<CipherGate> createCipherGate(const components::ComponentRegistry& registry)
{
    std::unique_ptr<CipherGate> gate;
    components::CreateComponent(registry, gate, CipherGate::ProgId);
    return gate;
}

} // namespace

void PgpCommands::showImeWarning()
{
    m_host.messageBoxes().show(ErrorTitle,
                               QStringLiteral("IME ON だとパスフレーズが画面に表示されるかも\r\n"
                                              "IME のモードに気をつけて!"));
}

QString PgpCommands::kanjiConvert(const QString& text, bool toJis)
{
    std::unique_ptr<components::KanjiPipe> pipe;
    if (!components::CreateComponent(m_host.registry(), pipe, components::KanjiPipe::ProgId)) {
        m_host.messageBoxes().show(ErrorTitle, QStringLiteral("KanjiPipe が必要"));
        return {};
    }
    if (toJis) {
        QString source = text;
        const QByteArray jis = pipe->FromSJIS(source, QStringLiteral("j"));
        QStringDecoder systemCodePage("windows-31j");
        return systemCodePage(jis);
    }
    QStringEncoder systemCodePage("windows-31j");
    QByteArray bytes = systemCodePage(text);
    return pipe->toSJIS(bytes);
}

PgpCommands::Outcome PgpCommands::encryptActive(const PgpOptions& options)
{
    const std::unique_ptr<PgpDocument> document = m_host.activeDocument();
    if (!document || document->text().isEmpty())
        return Outcome::Skipped;
    const std::unique_ptr<CipherGate> gate = createCipherGate(m_host.registry());
    if (!gate) {
        m_host.disablePgpItems();
        return Outcome::Skipped;
    }
    QString text = document->text();
    if (options.iso2022jp) {
        const QString converted = kanjiConvert(text, true);
        if (!converted.isEmpty())
            text = converted;
    }
    showImeWarning();
    QString signFlag = options.sign ? QStringLiteral("0") : QStringLiteral("1");
    const QString encrypted = gate->EncryptUI(text, signFlag);
    switch (gate->IsError()) {
    case CipherStatus::Failed:
        m_host.messageBoxes().show(ErrorTitle, QStringLiteral("暗号処理でエラーです"));
        return Outcome::Failed;
    case CipherStatus::Cancelled:
        return Outcome::Cancelled;
    case CipherStatus::Ok:
        break;
    }
    document->setText(encrypted);
    return Outcome::Done;
}

void PgpCommands::encrypt()
{
    const PgpOptions options = m_host.pgpOptions();
    Outcome outcome = Outcome::Failed;
    try {
        outcome = encryptActive(options);
    } catch (const std::exception&) {
        // A failing component ends the command; the window keeps its text.
        return;
    }
    // A cancel must not send the text the user meant to encrypt.
    if (options.send && (outcome == Outcome::Done || outcome == Outcome::Skipped))
        m_host.sendMessage();
}

void PgpCommands::sign()
{
    const PgpOptions options = m_host.pgpOptions();
    const std::unique_ptr<PgpDocument> document = m_host.activeDocument();
    if (!document || document->text().isEmpty())
        return;
    try {
        const std::unique_ptr<CipherGate> gate = createCipherGate(m_host.registry());
        if (!gate)
            return;
        QString text = document->text();
        if (options.iso2022jp)
            text = kanjiConvert(text, true);
        if (text.isEmpty())
            return;
        showImeWarning();
        QString result = gate->SignUI(text);
        if (gate->IsError() == CipherStatus::Failed) {
            m_host.messageBoxes().show(ErrorTitle, QStringLiteral("署名処理でエラーです"));
            return;
        }
        if (gate->IsError() == CipherStatus::Cancelled)
            return;
        if (options.iso2022jp)
            result = kanjiConvert(result, false);
        // An empty result (the kanji filter gone meanwhile) must not wipe the window.
        if (!result.isEmpty())
            document->setText(result);
    } catch (const std::exception&) {
        // The window keeps its text.
    }
}

void PgpCommands::decrypt()
{
    const PgpOptions options = m_host.pgpOptions();
    const std::unique_ptr<PgpDocument> document = m_host.activeDocument();
    if (!document || document->text().isEmpty())
        return;
    try {
        const std::unique_ptr<CipherGate> gate = createCipherGate(m_host.registry());
        if (!gate) {
            m_host.disablePgpItems();
            return;
        }
        showImeWarning();
        QString text = document->text();
        if (options.iso2022jp)
            text = kanjiConvert(text, true);
        if (text.isEmpty())
            return;
        QString plain = gate->DecryptUI(text);
        const CipherStatus status = gate->IsError();
        const SignatureStatus signature = gate->IsSign();
        if (status == CipherStatus::Failed) {
            m_host.messageBoxes().show(ErrorTitle, QStringLiteral("復号処理でエラーです"));
            return;
        }
        if (status == CipherStatus::Cancelled)
            return;
        if (options.iso2022jp) {
            const QString converted = kanjiConvert(plain, false);
            if (!converted.isEmpty())
                plain = converted;
        }
        const QString verification =
            signature == SignatureStatus::None ? QString() : gate->GetVerifyResultString();
        if (!verification.isEmpty())
            plain = verification + QStringLiteral("*** PGP Verify Result\r\n") + plain;
        document->setText(plain);
        if (options.reply)
            m_host.addReplyMarks();
    } catch (const std::exception&) {
        // The window keeps its text.
    }
}

} // namespace velmar::convert
