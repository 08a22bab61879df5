#include "convert/conversion_commands.h"

#include "common/text_bytes.h"
#include "components/components.h"
#include "components/registry.h"
#include "convert/encoders.h"
#include "convert/kanji_codes.h"
#include "platform/message_boxes.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>
#include <cmath>
#include <limits>
#include <memory>

namespace velmar::convert {

namespace {

const QString ErrorTitle = QStringLiteral("エラー");
const QString NoticeTitle = QStringLiteral("注意");
const QString InfoTitle = QStringLiteral("情報");

QString formName(ByteForm form)
{
    switch (form) {
    case ByteForm::Utf16Le:
        return QStringLiteral("UTF-16");
    case ByteForm::Utf8:
        return QStringLiteral("UTF-8");
    case ByteForm::ShiftJis:
        break;
    }
    return QStringLiteral("Shift_JIS");
}

// The line width for the hex layout when the stored text is a positive number.
std::optional<qint32> lineWidth(const QString& tag)
{
    bool ok = false;
    const double value = tag.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::floor(value) <= 0)
        return std::nullopt;
    return qint32(std::min<double>(std::floor(value), std::numeric_limits<qint32>::max()));
}

} // namespace

QString componentHelpAddress()
{
    // The README installed with the program, at its section on the built-in components.
    // Found from the binary's folder, so it holds for /usr/local and for the package.
    QString prefix = QCoreApplication::applicationDirPath();
    for (qsizetype i = 0, n = QString::fromLatin1(InstallBinDir).count(u'/') + 1; i < n; ++i)
        prefix += QStringLiteral("/..");
    const QString readme = QDir::cleanPath(prefix + u'/' + QString::fromLatin1(InstallDocDir) +
                                           QStringLiteral("/README.md"));
    return QUrl::fromLocalFile(readme).toString() + QStringLiteral("#built-in-components");
}

ConversionCommands::ConversionCommands(ActiveText& window, platform::MessageBoxes& boxes,
                                       const components::ComponentRegistry& registry,
                                       ConversionMenu& menu)
    : m_window(window), m_boxes(boxes), m_registry(registry), m_menu(menu)
{
}

std::optional<QByteArray> ConversionCommands::bytesOrExplain(const QString& text, ByteForm form)
{
    TextBytes encoded = encoderBytes(text, form);
    if (encoded.ok())
        return std::move(encoded.bytes);
    QStringList described;
    for (const QString& character : std::as_const(encoded.unfit))
        described << describeCharacter(character);
    m_boxes.show(NoticeTitle,
                 QStringLiteral("%1 で表せない文字があるため、変換しませんでした。\r\n%2")
                     .arg(formName(form), described.join(QStringLiteral("、"))));
    return std::nullopt;
}

void ConversionCommands::showDecoded(const QByteArray& bytes)
{
    const std::optional<QString> text = textFromDecodedBytes(bytes, m_menu.byteForm());
    if (!text) {
        m_boxes.show(
            NoticeTitle,
            QStringLiteral("デコードした内容はテキストとして読めないため、変更しませんでした。"));
        return;
    }
    // Decoding to nothing (a text of blanks only) would only empty the window.
    if (!text->isEmpty())
        m_window.setText(*text);
}

void ConversionCommands::explainBadInput(const QString& text, const CodingSteps& steps)
{
    const qsizetype at = steps.errorAt(text);
    QString where;
    if (at < 0 || at >= text.size()) {
        where =
            QStringLiteral("テキストが途中で終わっています（%1 文字目の後）。").arg(text.size());
    } else {
        QString character = text.mid(at, 1);
        if (text.at(at).isHighSurrogate() && at + 1 < text.size())
            character = text.mid(at, 2);
        where = QStringLiteral("%1 文字目の %2 が読めません。")
                    .arg(at + 1)
                    .arg(describeCharacter(character));
    }
    m_boxes.show(
        NoticeTitle,
        QStringLiteral("%1 の形式ではないため、デコードしませんでした。\r\n").arg(steps.name) +
            where);
}

void ConversionCommands::showReplaced(qsizetype count)
{
    if (count > 0)
        m_boxes.show(
            InfoTitle,
            QStringLiteral("JIS コードの無い文字 %1 個を 〓 に置き換えました。").arg(count));
}

void ConversionCommands::convertJis(JisDirection direction)
{
    QByteArray kanjiIn = kanjiInArray(m_menu.jisIn());
    QByteArray kanjiOut = kanjiOutArray(m_menu.jisOut());
    if (!m_window.exists())
        return;
    const QString text = m_window.text();
    if (text.isEmpty())
        return;
    std::unique_ptr<components::KanjiPipe> pipe;
    if (!components::CreateComponent(m_registry, pipe, components::KanjiPipe::ProgId))
        return;
    std::optional<QByteArray> bytes = bytesOrExplain(text, ByteForm::ShiftJis);
    if (!bytes)
        return;
    const bool toJis = direction == JisDirection::ToJis;
    const qsizetype replaced = toJis ? countWithoutJisCode(*bytes) : 0;
    QByteArray result;
    try {
        result = pipe->sjis2jis(*bytes, kanjiIn, kanjiOut,
                                toJis ? QStringLiteral("0") : QStringLiteral("1"));
    } catch (...) {
        return;
    }
    pipe.reset();
    if (result.isEmpty())
        return;
    // A JIS code of an empty cell reads as 〓.
    m_window.setText(decodeShiftJisWithGeta(result));
    showReplaced(replaced);
}

QString ConversionCommands::kanjiConvert(const QString& text, bool toJis)
{
    std::unique_ptr<components::KanjiPipe> pipe;
    if (!components::CreateComponent(m_registry, pipe, components::KanjiPipe::ProgId)) {
        m_boxes.show(ErrorTitle, QStringLiteral("KanjiPipe が必要"));
        return {};
    }
    std::optional<QByteArray> bytes = bytesOrExplain(text, ByteForm::ShiftJis);
    if (!bytes)
        return {};
    try {
        if (!toJis)
            return pipe->toSJIS(*bytes);
        QString input = text;
        const QByteArray iso = pipe->FromSJIS(input, QStringLiteral("j"));
        const std::optional<QString> result = decodeShiftJis(iso);
        if (!result)
            return {};
        showReplaced(countWithoutJisCode(*bytes));
        return *result;
    } catch (...) {
        return {};
    }
}

void ConversionCommands::toIso2022jp()
{
    const QString text = m_window.text();
    if (text.isEmpty())
        return;
    const QString result = kanjiConvert(text, true);
    if (!result.isEmpty())
        m_window.setText(result);
}

void ConversionCommands::toShiftJis()
{
    const QString text = m_window.text();
    if (text.isEmpty())
        return;
    const QString result = kanjiConvert(text, false);
    if (!result.isEmpty())
        m_window.setText(result);
}

template <typename Component>
std::unique_ptr<Component> ConversionCommands::componentOrExplain(void (ConversionMenu::*disable)(),
                                                                  const QString& library)
{
    std::unique_ptr<Component> component;
    if (!components::CreateComponent(m_registry, component, Component::ProgId)) {
        (m_menu.*disable)();
        m_boxes.show(ErrorTitle, library + QStringLiteral(" が必要\r\n") + componentHelpAddress());
    }
    return component;
}

void ConversionCommands::applyCoding(Coding coding, const CodingSteps& steps)
{
    const QString text = m_window.text();
    if (text.isEmpty())
        return;
    // A component that throws leaves the window as it was.
    try {
        if (coding == Coding::Encode) {
            const std::optional<QByteArray> bytes = bytesOrExplain(text, m_menu.byteForm());
            if (!bytes)
                return;
            const QString result = steps.encode(*bytes);
            if (!steps.failed())
                m_window.setText(result);
        } else {
            const QByteArray bytes = steps.decode(text);
            if (!steps.failed())
                showDecoded(bytes);
            else
                explainBadInput(text, steps);
        }
    } catch (...) {
    }
}

void ConversionCommands::base64Command(Coding coding)
{
    const auto radixer = componentOrExplain<components::Radixer>(&ConversionMenu::disableBase64,
                                                                 QStringLiteral("Radixer.DLL"));
    if (!radixer)
        return;
    applyCoding(coding, {[&](QByteArray bytes) { return radixer->enBase64Bin(bytes); },
                         [&](QString text) { return radixer->deBase64Bin(text); },
                         [&] { return radixer->IsError() != 0; },
                         [](const QString& text) { return base64DecodeAt(text).errorAt; },
                         QStringLiteral("Base64")});
}

void ConversionCommands::urlCommand(Coding coding)
{
    const auto escaper = componentOrExplain<components::Escaper>(&ConversionMenu::disableUrlHex,
                                                                 QStringLiteral("Escaper.DLL"));
    if (!escaper)
        return;
    escaper->SetAddChar(QStringLiteral("%"));
    escaper->SetNonChangeChar(escaper->GetChar());
    escaper->SetMode(QStringLiteral("1"));
    applyCoding(coding, {[&](QByteArray bytes) { return escaper->EncodeBin(bytes); },
                         [&](QString text) { return escaper->DecodeBin(text); },
                         [&] { return escaper->IsError() != 0; },
                         [](const QString& text) { return percentDecodeAt(text).errorAt; },
                         QStringLiteral("URL エンコード")});
}

void ConversionCommands::hexCommand(Coding coding)
{
    const auto escaper = componentOrExplain<components::Escaper>(&ConversionMenu::disableUrlHex,
                                                                 QStringLiteral("Escaper.DLL"));
    if (!escaper)
        return;
    const auto encode = [&](QByteArray bytes) {
        QString hex = escaper->EncodeBin(bytes);
        if (escaper->IsError() != 0)
            return hex;
        if (std::optional<qint32> width = lineWidth(m_menu.hexWidth()))
            return escaper->PlasticHexData(hex, &*width);
        return escaper->PlasticHexData(hex);
    };
    // Line breaks and the blanks between the bytes of the layout are not data.
    const auto decode = [&](QString text) {
        text.remove(u'\n').remove(u'\r').remove(u' ');
        return escaper->DecodeBin(text);
    };
    applyCoding(coding, {encode, decode, [&] { return escaper->IsError() != 0; },
                         [](const QString& text) { return hexDecodeAt(text).errorAt; },
                         QStringLiteral("16 進数")});
}

} // namespace velmar::convert
