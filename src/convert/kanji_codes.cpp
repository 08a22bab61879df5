#include "convert/kanji_codes.h"

#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace velmar::convert {

namespace {

constexpr char kEsc = 0x1B;
// 〓 (geta mark), the conventional stand-in for a character a code cannot hold.
constexpr quint16 kGetaJis = 0x222E;

constexpr bool isLead(quint8 b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool isTrail(quint8 b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

constexpr bool isHalfWidthKana(quint8 b)
{
    return b >= 0xA1 && b <= 0xDF;
}

constexpr bool isJisByte(quint8 b)
{
    return b >= 0x21 && b <= 0x7E;
}

// Row/cell arithmetic; valid for lead bytes 81..9F and E0..EF (rows 1..94).
constexpr quint16 sjisToJisCode(quint8 s1, quint8 s2)
{
    const int base = s1 <= 0x9F ? 0x70 : 0xB0;
    int j1 = (s1 - base) * 2;
    int j2 = 0;
    if (s2 < 0x9F) {
        j1 -= 1;
        j2 = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
    } else {
        j2 = s2 - 0x7E;
    }
    return static_cast<quint16>((j1 << 8) | j2);
}

constexpr quint16 jisToSjisCode(quint8 j1, quint8 j2)
{
    const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
    int s2 = 0;
    if (j1 & 1)
        s2 = j2 + (j2 <= 0x5F ? 0x1F : 0x20);
    else
        s2 = j2 + 0x7E;
    return static_cast<quint16>((s1 << 8) | s2);
}

static_assert(sjisToJisCode(0x8A, 0xBF) == 0x3441); // 漢
static_assert(sjisToJisCode(0x8E, 0x9A) == 0x3B7A); // 字
static_assert(jisToSjisCode(0x34, 0x41) == 0x8ABF);
static_assert(jisToSjisCode(0x3B, 0x7A) == 0x8E9A);

// Full-width JIS codes of the half-width katakana A1..DF.
constexpr std::array<quint16, 63> kKanaJis{
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

constexpr quint8 kVoicedMark = 0xDE;
constexpr quint8 kSemiVoicedMark = 0xDF;

// The kana (given as its half-width byte) with a voiced or semi-voiced mark joined, or 0
// when the two do not combine.
constexpr quint16 joinedKana(quint8 kana, quint8 mark)
{
    const quint16 plain = kKanaJis[kana - 0xA1];
    if (mark == kVoicedMark) {
        if (kana == 0xB3) // ｳﾞ
            return 0x2574;
        if ((kana >= 0xB6 && kana <= 0xC4) || (kana >= 0xCA && kana <= 0xCE))
            return plain + 1;
    } else if (mark == kSemiVoicedMark && kana >= 0xCA && kana <= 0xCE) {
        return plain + 2;
    }
    return 0;
}

// The IBM extension FA40..FC4B mapped to the Shift_JIS code of the same character in
// the NEC rows (or in JIS X 0208 itself, as for ￢ and ∵); 0 where there is no twin.
// Derived once from the code page itself, so it agrees with how text is encoded.
class IbmTwins {
public:
    static const IbmTwins& instance()
    {
        static const IbmTwins twins;
        return twins;
    }
    quint16 twin(quint8 s1, quint8 s2) const
    {
        const int index = (s1 - 0xFA) * 256 + s2;
        return index >= 0 && index < int(m_twins.size()) ? m_twins[std::size_t(index)] : 0;
    }

private:
    IbmTwins() : m_twins{}
    {
        // Every pair followed by a line feed, decoded in one go: a line feed is never
        // part of a two-byte character, so each line is the decoding of one pair.
        auto decodeAll = [](auto&& pairs) {
            QByteArray bytes;
            for (const auto& [s1, s2] : pairs) {
                bytes.append(char(s1));
                bytes.append(char(s2));
                bytes.append('\n');
            }
            QStringDecoder decoder("windows-31j", QStringDecoder::Flag::Stateless);
            return QString(decoder.decode(bytes)).split(u'\n');
        };
        std::vector<std::pair<quint8, quint8>> jisPairs;
        for (int s1 = 0x81; s1 <= 0xEE; ++s1) {
            if (s1 > 0x9F && s1 < 0xE0)
                continue;
            for (int s2 = 0x40; s2 <= 0xFC; ++s2) {
                if (isTrail(quint8(s2)))
                    jisPairs.emplace_back(quint8(s1), quint8(s2));
            }
        }
        std::vector<std::pair<quint8, quint8>> ibmPairs;
        for (int s1 = 0xFA; s1 <= 0xFC; ++s1) {
            for (int s2 = 0x40; s2 <= 0xFC; ++s2) {
                if (isTrail(quint8(s2)))
                    ibmPairs.emplace_back(quint8(s1), quint8(s2));
            }
        }
        auto single = [](const QString& line) {
            return line.size() == 1 && line.front() != QChar::ReplacementCharacter &&
                   line.front() != u'\x1A';
        };
        const QStringList jisChars = decodeAll(jisPairs);
        QHash<QChar, quint16> firstCode;
        for (std::size_t i = 0; i < jisPairs.size() && qsizetype(i) < jisChars.size(); ++i) {
            const QString& line = jisChars.at(qsizetype(i));
            if (single(line) && !firstCode.contains(line.front()))
                firstCode.insert(line.front(),
                                 quint16((jisPairs[i].first << 8) | jisPairs[i].second));
        }
        const QStringList ibmChars = decodeAll(ibmPairs);
        for (std::size_t i = 0; i < ibmPairs.size() && qsizetype(i) < ibmChars.size(); ++i) {
            const QString& line = ibmChars.at(qsizetype(i));
            if (single(line)) {
                const auto [s1, s2] = ibmPairs[i];
                m_twins[std::size_t((s1 - 0xFA) * 256 + s2)] = firstCode.value(line.front(), 0);
            }
        }
    }

    std::array<quint16, 3 * 256> m_twins;
};

// The JIS code of the two-byte character s1 s2 (both valid), or the geta mark.
quint16 jisCodeOf(quint8 s1, quint8 s2, bool* replaced)
{
    if (s1 <= 0xEF)
        return sjisToJisCode(s1, s2);
    if (s1 >= 0xFA) {
        if (const quint16 twin = IbmTwins::instance().twin(s1, s2))
            return sjisToJisCode(quint8(twin >> 8), quint8(twin & 0xFF));
    }
    *replaced = true;
    return kGetaJis;
}

// One step of reading Shift_JIS: a single byte to copy, a two-byte JIS code, or a
// half-width kana possibly joined with its mark.
struct SjisUnit {
    enum class Kind { Byte, Double } kind = Kind::Byte;
    quint16 jis = 0;
    qsizetype length = 1;
    bool replaced = false;
};

SjisUnit readSjis(const quint8* p, qsizetype remaining)
{
    SjisUnit unit;
    const quint8 b = p[0];
    if (isLead(b) && remaining >= 2 && isTrail(p[1])) {
        unit.kind = SjisUnit::Kind::Double;
        unit.length = 2;
        unit.jis = jisCodeOf(b, p[1], &unit.replaced);
    } else if (isHalfWidthKana(b)) {
        unit.kind = SjisUnit::Kind::Double;
        unit.jis = kKanaJis[b - 0xA1];
        if (remaining >= 2) {
            if (const quint16 joined = joinedKana(b, p[1])) {
                unit.jis = joined;
                unit.length = 2;
            }
        }
    }
    return unit;
}

// Output written through a pointer: appending byte by byte to a QByteArray checks for
// sharing and capacity at every byte, which dominates the conversion of large texts.
class OutputBuffer {
public:
    explicit OutputBuffer(qsizetype capacity)
        : m_bytes(std::max<qsizetype>(capacity, 16), Qt::Uninitialized)
    {
        m_begin = m_out = m_bytes.data();
        m_end = m_begin + m_bytes.size();
    }
    // Room for `count` more bytes.
    void ensure(qsizetype count)
    {
        if (m_end - m_out >= count)
            return;
        const qsizetype used = m_out - m_begin;
        m_bytes.resize(std::max(m_bytes.size() * 2, used + count));
        m_begin = m_bytes.data();
        m_out = m_begin + used;
        m_end = m_begin + m_bytes.size();
    }
    void put(quint8 b) { *m_out++ = char(b); }
    void put(QByteArrayView bytes)
    {
        std::memcpy(m_out, bytes.data(), std::size_t(bytes.size()));
        m_out += bytes.size();
    }
    QByteArray take()
    {
        m_bytes.truncate(m_out - m_begin);
        return std::move(m_bytes);
    }

private:
    QByteArray m_bytes;
    char* m_begin = nullptr;
    char* m_out = nullptr;
    char* m_end = nullptr;
};

const QByteArray& defaultIn()
{
    static const QByteArray bytes("\x1B$B");
    return bytes;
}

const QByteArray& defaultOut()
{
    static const QByteArray bytes("\x1B(B");
    return bytes;
}

} // namespace

QByteArray kanjiInSequence(int choice)
{
    switch (choice) {
    case 1:
        return QByteArray("\x1BK");
    case 2:
        return QByteArray("\x1B$B");
    case 3:
        return QByteArray("\x1B$@");
    case 4:
        return QByteArray("\x1B$(D");
    case 5:
        return QByteArray("\x1B&@\x1B$B");
    default:
        return {};
    }
}

QByteArray kanjiOutSequence(int choice)
{
    switch (choice) {
    case 1:
        return QByteArray("\x1B(J");
    case 2:
        return QByteArray("\x1B(H");
    case 3:
        return QByteArray("\x1B(B");
    default:
        return {};
    }
}

QByteArray kanjiInArray(int choice)
{
    QByteArray array(7, '\0');
    const QByteArray sequence = kanjiInSequence(choice);
    array.replace(0, sequence.size(), sequence);
    return array;
}

QByteArray kanjiOutArray(int choice)
{
    QByteArray array(4, '\0');
    const QByteArray sequence = kanjiOutSequence(choice);
    array.replace(0, sequence.size(), sequence);
    return array;
}

QByteArrayView escapeBytes(QByteArrayView array)
{
    const qsizetype zero = array.indexOf('\0');
    return zero < 0 ? array : array.first(zero);
}

QByteArray shiftJisToJis(QByteArrayView sjis, QByteArrayView kanjiIn, QByteArrayView kanjiOut)
{
    const QByteArrayView in = kanjiIn.isEmpty() ? QByteArrayView(defaultIn()) : kanjiIn;
    const QByteArrayView out = kanjiOut.isEmpty() ? QByteArrayView(defaultOut()) : kanjiOut;
    // The most one input unit can add: an escape and a two-byte code.
    const qsizetype unitMax = std::max(in.size(), out.size()) + 2;
    // Two-byte characters keep their size; escapes add a few bytes per run.
    OutputBuffer result(sjis.size() + sjis.size() / 4 + 16);
    const auto* p = reinterpret_cast<const quint8*>(sjis.data());
    const qsizetype n = sjis.size();
    bool twoByte = false;
    for (qsizetype i = 0; i < n;) {
        result.ensure(unitMax);
        const quint8 b = p[i];
        // The common cases first, without the general reader: ASCII and the two-byte
        // characters of JIS X 0208 and the NEC rows.
        if (b < 0x80) {
            if (twoByte) {
                result.put(out);
                twoByte = false;
            }
            result.put(b);
            ++i;
            continue;
        }
        if (b <= 0xEF && isLead(b) && i + 1 < n && isTrail(p[i + 1])) {
            if (!twoByte) {
                result.put(in);
                twoByte = true;
            }
            const quint16 jis = sjisToJisCode(b, p[i + 1]);
            result.put(quint8(jis >> 8));
            result.put(quint8(jis & 0xFF));
            i += 2;
            continue;
        }
        const SjisUnit unit = readSjis(p + i, n - i);
        if (unit.kind == SjisUnit::Kind::Double) {
            if (!twoByte) {
                result.put(in);
                twoByte = true;
            }
            result.put(quint8(unit.jis >> 8));
            result.put(quint8(unit.jis & 0xFF));
        } else {
            if (twoByte) {
                result.put(out);
                twoByte = false;
            }
            result.put(p[i]);
        }
        i += unit.length;
    }
    if (twoByte) {
        result.ensure(out.size());
        result.put(out);
    }
    return result.take();
}

qsizetype countWithoutJisCode(QByteArrayView sjis)
{
    const auto* p = reinterpret_cast<const quint8*>(sjis.data());
    const qsizetype n = sjis.size();
    qsizetype count = 0;
    for (qsizetype i = 0; i < n;) {
        const SjisUnit unit = readSjis(p + i, n - i);
        count += unit.replaced ? 1 : 0;
        i += unit.length;
    }
    return count;
}

namespace {

enum class JisMode { Single, TwoByte, Kana };

// The escape sequence at the start of `rest` (which starts with ESC) and the mode it
// selects; nullopt mode for ESC & @, which announces a revision and changes nothing.
struct Escape {
    qsizetype length = 0;
    std::optional<JisMode> mode;
};

std::optional<Escape> knownEscape(QByteArrayView rest)
{
    const auto at = [&rest](qsizetype i) { return i < rest.size() ? rest[i] : '\0'; };
    switch (at(1)) {
    case 'K': // NEC kanji-in
        return Escape{2, JisMode::TwoByte};
    case 'H': // NEC kanji-out
        return Escape{2, JisMode::Single};
    case '$':
        if (at(2) == 'B' || at(2) == '@')
            return Escape{3, JisMode::TwoByte};
        if (at(2) == '(' && (at(3) == 'D' || at(3) == 'B' || at(3) == '@'))
            return Escape{4, JisMode::TwoByte};
        break;
    case '&': // announces a revision of the kanji set; the designation follows
        if (at(2) == '@')
            return Escape{3, std::nullopt};
        break;
    case '(':
        if (at(2) == 'J' || at(2) == 'H' || at(2) == 'B')
            return Escape{3, JisMode::Single};
        if (at(2) == 'I')
            return Escape{3, JisMode::Kana};
        break;
    default:
        break;
    }
    return std::nullopt;
}

// The length of an unknown escape sequence: ESC, intermediate bytes 20..2F, one final
// byte 30..7E, as far as they are present.
qsizetype unknownEscapeLength(QByteArrayView rest)
{
    qsizetype length = 1;
    while (length < rest.size() && quint8(rest[length]) >= 0x20 && quint8(rest[length]) <= 0x2F)
        ++length;
    if (length < rest.size() && quint8(rest[length]) >= 0x30 && quint8(rest[length]) <= 0x7E)
        ++length;
    return length;
}

} // namespace

QByteArray jisToShiftJis(QByteArrayView jis)
{
    // Escapes are dropped and every other unit keeps its size, so the input size is enough.
    OutputBuffer result(jis.size());
    const auto* p = reinterpret_cast<const quint8*>(jis.data());
    const qsizetype n = jis.size();
    JisMode mode = JisMode::Single;
    qsizetype i = 0;
    while (i < n) {
        const quint8 b = p[i];
        if (b == quint8(kEsc)) {
            const QByteArrayView rest = jis.sliced(i);
            if (const std::optional<Escape> escape = knownEscape(rest)) {
                if (escape->mode)
                    mode = *escape->mode;
                i += escape->length;
            } else {
                const qsizetype length = unknownEscapeLength(rest);
                result.put(rest.first(length));
                i += length;
            }
            continue;
        }
        if (b < 0x80) {
            if (mode == JisMode::TwoByte && isJisByte(b) && i + 1 < n && isJisByte(p[i + 1])) {
                const quint16 code = jisToSjisCode(b, p[i + 1]);
                result.put(quint8(code >> 8));
                result.put(quint8(code & 0xFF));
                i += 2;
            } else {
                result.put(mode == JisMode::Kana && b >= 0x21 && b <= 0x5F ? quint8(b + 0x80) : b);
                ++i;
            }
            continue;
        }
        // Bytes that are already a Shift_JIS character stay as they are in every mode.
        if (isLead(b) && i + 1 < n && isTrail(p[i + 1])) {
            result.put(b);
            result.put(p[i + 1]);
            i += 2;
            continue;
        }
        result.put(b);
        ++i;
    }
    return result.take();
}

} // namespace velmar::convert
