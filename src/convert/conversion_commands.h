#pragma once

// The conversion commands of the main window: Shift_JIS <-> JIS with the chosen escapes,
// ISO-2022-JP through the kanji filter, and the Base64, URL and hex encoders. Each acts
// on the active text window's text, reaches the converters through the component
// registry and talks to the user through the message-box seam; no widgets here.

#include "convert/conversion_menu.h"
#include "convert/text_bytes.h"

#include <QString>
#include <functional>
#include <memory>

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
    void showDecoded(const QByteArray& bytes);
    void showReplaced(qsizetype count);

    // The component registered under `Component::ProgId`; when it is missing, its
    // commands are disabled with `disable` and a box names `library`.
    template <typename Component>
    std::unique_ptr<Component> componentOrExplain(void (ConversionMenu::*disable)(),
                                                  const QString& library);
    // One encoder's steps: bytes to text, text to bytes, and whether the last step failed.
    struct CodingSteps {
        std::function<QString(const QByteArray&)> encode;
        std::function<QByteArray(const QString&)> decode;
        std::function<bool()> failed;
        // Where the text stops being valid input of the decoder (see Decoded::errorAt).
        std::function<qsizetype(const QString&)> errorAt;
        // The form's name in the box about bad input.
        QString name;
    };
    // The box about input the decoder refused, naming the first bad position.
    void explainBadInput(const QString& text, const CodingSteps& steps);
    // Encodes the active window's text in the chosen byte form, or decodes it and shows
    // the bytes as text. The window changes only when the step reports no error.
    void applyCoding(Coding coding, const CodingSteps& steps);

    ActiveText& m_window;
    platform::MessageBoxes& m_boxes;
    const components::ComponentRegistry& m_registry;
    ConversionMenu& m_menu;
};

} // namespace velmar::convert
