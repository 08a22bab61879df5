#include "components/pgp/verify_report.h"

#include <gtest/gtest.h>

using namespace velmar::pgp;
using velmar::components::SignatureStatus;

namespace {

SignatureFacts facts(SignatureVerdict verdict)
{
    return SignatureFacts{QStringLiteral("Taro <taro@example.jp>"),
                          QStringLiteral("0123456789ABCDEF0123456789ABCDEF01234567"),
                          QDateTime(QDate(2026, 12, 9), QTime(3, 4, 5)), verdict, QString()};
}

TEST(VerifyReport, StatusIsGoodOnlyWhenEverySignatureIsGoodAndValid)
{
    using V = SignatureVerdict;
    const struct {
        QList<SignatureFacts> signatures;
        SignatureStatus status;
    } cases[] = {
        {{}, SignatureStatus::None},
        {{facts(V::GoodValidKey)}, SignatureStatus::Good},
        {{facts(V::GoodUnverifiedKey)}, SignatureStatus::Questionable},
        {{facts(V::GoodValidKey), facts(V::KeyRevoked)}, SignatureStatus::Questionable},
        {{facts(V::Unverifiable)}, SignatureStatus::Questionable},
    };
    for (const auto& c : cases)
        EXPECT_EQ(signatureStatus(c.signatures), c.status) << c.signatures.size();
}

TEST(VerifyReport, TextNamesSignerFingerprintTimeAndVerdict)
{
    SignatureFacts unknown = facts(SignatureVerdict::Unverifiable);
    unknown.userId.clear();
    unknown.created = QDateTime();
    unknown.detail = QStringLiteral("General error");
    EXPECT_EQ(verifyResultText({facts(SignatureVerdict::GoodValidKey), unknown}),
              QStringLiteral("署名者: Taro <taro@example.jp>\r\n"
                             "指紋: 0123 4567 89AB CDEF 0123 4567 89AB CDEF 0123 4567\r\n"
                             "署名日時: 2026/12/09 03:04:05\r\n"
                             "判定: 正しい署名です(有効な鍵による署名)\r\n"
                             "\r\n"
                             "署名者: (鍵束にない鍵)\r\n"
                             "指紋: 0123 4567 89AB CDEF 0123 4567 89AB CDEF 0123 4567\r\n"
                             "署名日時: 不明\r\n"
                             "判定: 署名を確認できません(General error)\r\n"));
    EXPECT_TRUE(verifyResultText({}).isEmpty());
}

} // namespace
