#pragma once

// Lines of everyday Japanese for measuring encoding detection: sentences built from
// phrases of mail, chat, notices and logs, kana-heavy and kanji-heavy, some with ASCII
// (numbers, names, addresses), each 5 to 80 characters long. Deterministic: the same
// seed gives the same lines.

#include <QString>
#include <QStringList>

namespace velmar::testing {

inline QStringList japaneseCorpus(int count, quint32 seed = 20261209)
{
    // Kana-heavy phrases of conversation and mail.
    static const char* const kana[] = {
        "こんにちは",
        "ありがとうございました",
        "お世話になっております。",
        "よろしくおねがいします",
        "ちょっとまってね",
        "また あとで れんらくします",
        "いまから そっちに いくよ",
        "おつかれさまでした",
        "それでは また あした",
        "どうもすみません",
        "わかりました。",
        "ごめんなさい、おくれます",
        "そうですね",
        "ほんとうに たすかりました",
        "きょうは いい てんき ですね",
        "なにか あったら おしえて",
        "ねむいなあ",
        "ちょっと きいても いい？",
        "これ おいしいよ",
        "たのしみに しています",
        "メールを おくりました",
        "コーヒーを のみに いきませんか",
        "パソコンの ちょうしが わるい",
        "テストが おわった",
        "ミーティングは なしに なりました",
    };
    // Kanji-heavy phrases of notices, reports and news.
    static const char* const kanji[] = {
        "本日の会議は午後三時から第二会議室で行います。",
        "資料を添付しましたのでご確認ください。",
        "来週月曜日に打ち合わせを予定しています",
        "東京都千代田区丸の内一丁目",
        "株式会社山田商事営業部",
        "年末年始休業期間のお知らせ",
        "個人情報保護方針",
        "申込締切日は十二月二十日です",
        "新製品発表会開催概要",
        "経済産業省統計資料",
        "天気予報によると明日は雨",
        "電車が遅延しています",
        "検討結果を報告いたします",
        "詳細は担当者までお問い合わせ下さい",
        "図書館利用案内",
        "会員登録完了通知",
        "大学入学試験日程",
        "議事録作成担当",
        "社内規定変更点一覧",
        "環境保全活動報告書",
    };
    // ASCII that Japanese text carries.
    static const char* const ascii[] = {
        "10:30",
        "2026年",
        "PC",
        "OK",
        "https://example.jp/",
        "ID: 4567",
        "Ver.2.1",
        "CSV",
        "mail@example.jp",
        "3F",
        "A4",
        "100円",
        "TEL 03-1234-5678",
        "USB",
        "(笑)",
    };
    QStringList lines;
    quint32 state = seed;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const auto pick = [&next](const auto& list) {
        return QString::fromUtf8(list[next() % (sizeof(list) / sizeof(list[0]))]);
    };
    while (lines.size() < count) {
        const quint32 kind = next() % 4; // kana, kanji, mixed, mixed with ASCII
        const qsizetype target = 5 + qsizetype(next() % 76);
        QString line;
        while (line.size() < target) {
            QString piece;
            if (kind == 0)
                piece = pick(kana);
            else if (kind == 1)
                piece = pick(kanji);
            else if (kind == 3 && next() % 3 == 0)
                piece = pick(ascii) + u' ';
            else
                piece = next() % 2 ? pick(kana) : pick(kanji);
            line += piece;
        }
        line.truncate(target);
        lines << line;
    }
    return lines;
}

} // namespace velmar::testing
