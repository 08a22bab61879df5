#pragma once

// The conversion commands of the main window: Shift_JIS <-> JIS with the chosen escapes,
// ISO-2022-JP through the kanji filter, and the Base64, URL and hex encoders. Each acts
// on the active text window's text, reaches the converters through the component
// registry and talks to the user through the message-box seam; no widgets here.

#include "convert/conversion_menu.h"
#include "convert/text_bytes.h"

#include <QString>

namespace velmar::components {
class ComponentRegistry;
}
namespace velmar::platform {
class MessageBoxes;
}

namespace velmar::convert {

enum class JisDirection { ToJis, ToShiftJis };
enum class Coding { Encode, Decode };

// Where the missing-component boxes send the user.
QString componentHelpAddress();

class ConversionCommands final {
public:
    ConversionCommands(ActiveText& window, platform::MessageBoxes& boxes,
                       const components::ComponentRegistry& registry, ConversionMenu& menu);

    // "JIS 変換実行" (ToJis) and "SJIS変換実行" (ToShiftJis).
    void convertJis(JisDirection direction);
    // "to ISO2022JP" and "to SJIS".
    void toIso2022jp();
    void toShiftJis();
    // The text in ISO-2022-JP (as 7-bit characters) or back; the empty text when the
    // kanji filter is missing or the text cannot be converted (the user has been told).
    QString kanjiConvert(const QString& text, bool toJis);

    void base64Command(Coding coding);
    void urlCommand(Coding coding);
    void hexCommand(Coding coding);

private:
    // The text in `form`, or nullopt after a box naming the characters it cannot hold.
    std::optional<QByteArray> bytesOrExplain(const QString& text, ByteForm form);
    // Reads decoded bytes and makes them the active window's text; a box when they are
    // no text.
    void showDecoded(const QByteArray& bytes, DecodedForm form);
    void showReplaced(qsizetype count);

    ActiveText& m_window;
    platform::MessageBoxes& m_boxes;
    const components::ComponentRegistry& m_registry;
    ConversionMenu& m_menu;
};

} // namespace velmar::convert
