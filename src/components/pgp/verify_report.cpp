#include "components/pgp/verify_report.h"

#include "components/pgp/key_choice.h"

#include <algorithm>

namespace velmar::pgp {

QString validityText(KeyValidity validity)
{
    switch (validity) {
    case KeyValidity::Unknown:
        return QStringLiteral("不明");
    case KeyValidity::Undefined:
        return QStringLiteral("未確認");
    case KeyValidity::Never:
        return QStringLiteral("信用しない");
    case KeyValidity::Marginal:
        return QStringLiteral("やや有効");
    case KeyValidity::Full:
        return QStringLiteral("有効");
    case KeyValidity::Ultimate:
        return QStringLiteral("自分の鍵");
    }
    return {};
}

namespace {

QString verdictText(const SignatureFacts& facts)
{
    switch (facts.verdict) {
    case SignatureVerdict::GoodValidKey:
        return QStringLiteral("正しい署名です(有効な鍵による署名)");
    case SignatureVerdict::GoodUnverifiedKey:
        return QStringLiteral("署名は正しいが、鍵が本人のものか確認されていません");
    case SignatureVerdict::Bad:
        return QStringLiteral("不正な署名です(文章が改ざんされた可能性があります)");
    case SignatureVerdict::KeyMissing:
        return QStringLiteral("署名者の公開鍵がないため確認できません");
    case SignatureVerdict::KeyRevoked:
        return QStringLiteral("署名者の鍵は失効しています");
    case SignatureVerdict::KeyExpired:
        return QStringLiteral("署名者の鍵は有効期限切れです");
    case SignatureVerdict::SignatureExpired:
        return QStringLiteral("署名の有効期限が切れています");
    case SignatureVerdict::Unverifiable:
        break;
    }
    if (facts.detail.isEmpty())
        return QStringLiteral("署名を確認できません");
    return QStringLiteral("署名を確認できません(") + facts.detail + u')';
}

} // namespace

components::SignatureStatus signatureStatus(const QList<SignatureFacts>& signatures)
{
    if (signatures.isEmpty())
        return components::SignatureStatus::None;
    const bool allGood = std::all_of(signatures.begin(), signatures.end(), [](const auto& s) {
        return s.verdict == SignatureVerdict::GoodValidKey;
    });
    return allGood ? components::SignatureStatus::Good : components::SignatureStatus::Questionable;
}

QString groupedFingerprint(const QString& fingerprint)
{
    QString grouped;
    for (qsizetype i = 0; i < fingerprint.size(); i += 4) {
        if (i > 0)
            grouped += u' ';
        grouped += fingerprint.mid(i, 4);
    }
    return grouped;
}

QString verifyResultText(const QList<SignatureFacts>& signatures)
{
    static constexpr QStringView Crlf = u"\r\n";
    QString text;
    for (const SignatureFacts& facts : signatures) {
        if (!text.isEmpty())
            text += Crlf;
        const QString signer =
            facts.userId.isEmpty() ? QStringLiteral("(鍵束にない鍵)") : facts.userId;
        const QString when = facts.created.isValid()
                                 ? facts.created.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                                 : QStringLiteral("不明");
        text += QStringLiteral("署名者: ") + signer + Crlf;
        text += QStringLiteral("指紋: ") + groupedFingerprint(facts.fingerprint) + Crlf;
        text += QStringLiteral("署名日時: ") + when + Crlf;
        text += QStringLiteral("判定: ") + verdictText(facts) + Crlf;
    }
    return text;
}

} // namespace velmar::pgp
