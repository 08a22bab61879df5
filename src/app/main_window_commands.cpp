#include "app/main_window.h"
#include "app/stored_number.h"
#include "app/text_window_area.h"
#include "convert/conversion_commands.h"
#include "settings/keys.h"
#include "text/clipboard_commands.h"
#include "text/file_commands.h"

// The command dispatch: each menu or toolbar command goes to the part that carries it out.

namespace velmar::app {

namespace keys = settings::keys;

void MainWindow::runCommand(Command command)
{
    text::ClipboardCommands& clip = *m_clipboardCommands;
    text::FileCommands& files = *m_fileCommands;
    switch (command) {
    case Command::Send:
        sendActiveText();
        break;
    case Command::New:
        clip.newClipboardWindow();
        break;
    case Command::Open:
        files.open();
        break;
    case Command::Update:
        files.appendSave();
        break;
    case Command::SaveAs:
        files.saveAs();
        break;
    case Command::Print:
        files.print();
        break;
    case Command::PrinterSetup:
        files.setUpPrinter();
        break;
    case Command::End:
        if (mayEndWithSealedMessages())
            fin();
        break;
    case Command::View:
        clip.viewClipboard();
        break;
    case Command::AllCopy:
        clip.copyAll();
        break;
    case Command::SelCopy:
        clip.copySelection();
        break;
    case Command::ResCopy:
        clip.copyWithReplyMarks(text::ReplyCopy::ToClipboard);
        break;
    case Command::Paste:
        clip.paste();
        break;
    case Command::SpaceCut:
        clip.trimBlanks();
        break;
    case Command::CopyAndTask:
        clip.copyAllAndHide();
        break;
    case Command::ToTray:
        hideToTray(false);
        break;
    case Command::Empty:
        clip.clearText();
        break;
    case Command::JisIn:
        m_jisInMode = m_commands->jisIn();
        break;
    case Command::JisOut:
        m_jisOutMode = m_commands->jisOut();
        break;
    case Command::ImeOn:
        m_services.store.write(keys::Ime, QStringLiteral("1"));
        applyImeSetting();
        break;
    case Command::ImeOff:
        m_services.store.write(keys::Ime, QStringLiteral("0"));
        applyImeSetting();
        break;
    case Command::ImeToggle: {
        const std::optional<double> value = numericValue(m_services.store.read(keys::Ime));
        m_services.store.write(keys::Ime,
                               value && *value == 1 ? QStringLiteral("0") : QStringLiteral("1"));
        applyImeSetting();
        break;
    }
    case Command::Cascade:
        arrange(Arrangement::Cascade);
        break;
    case Command::TileHorizontal:
        arrange(Arrangement::TileHorizontal);
        break;
    case Command::TileVertical:
        arrange(Arrangement::TileVertical);
        break;
    case Command::ArrangeIcons:
        arrange(Arrangement::ArrangeIcons);
        break;
    case Command::CloseWindow:
        m_windows->closeActive();
        break;
    case Command::CloseAllWindows:
        m_windows->closeAll();
        break;
    case Command::Settings:
        m_skipNextActivation = true;
        showSettings();
        break;
    case Command::Version:
        showVersion();
        break;
    case Command::History:
        showHistory();
        break;
    case Command::PgpEncrypt:
        m_pgpCommands.encrypt();
        break;
    case Command::PgpDecrypt:
        m_pgpCommands.decrypt();
        break;
    case Command::PgpSign:
        m_pgpCommands.sign();
        break;
    case Command::PgpOptionSign:
    case Command::PgpOptionSend:
    case Command::PgpOptionRes:
    case Command::PgpOptionJis:
        m_commands->storePgpOption(command, m_services.store);
        break;
    case Command::ToSjis:
    case Command::ToIso2022jp:
    case Command::SjisGo:
    case Command::JisGo:
    case Command::Base64Encode:
    case Command::Base64Decode:
    case Command::UrlEncode:
    case Command::UrlDecode:
    case Command::HexEncode:
    case Command::HexDecode:
        runConversion(command);
        break;
    case Command::UnicodeToggle:
    case Command::Utf8Toggle:
        // The marks hold the choice; it is stored at shutdown.
        break;
    default:
        break;
    }
}

void MainWindow::runConversion(Command command)
{
    convert::ConversionCommands& conversions = *m_conversions;
    switch (command) {
    case Command::ToSjis:
        conversions.toShiftJis();
        break;
    case Command::ToIso2022jp:
        conversions.toIso2022jp();
        break;
    case Command::SjisGo:
        conversions.convertJis(convert::JisDirection::ToShiftJis);
        break;
    case Command::JisGo:
        conversions.convertJis(convert::JisDirection::ToJis);
        break;
    case Command::Base64Encode:
    case Command::Base64Decode:
        conversions.base64Command(command == Command::Base64Encode ? convert::Coding::Encode
                                                                   : convert::Coding::Decode);
        break;
    case Command::UrlEncode:
    case Command::UrlDecode:
        conversions.urlCommand(command == Command::UrlEncode ? convert::Coding::Encode
                                                             : convert::Coding::Decode);
        break;
    case Command::HexEncode:
    case Command::HexDecode:
        conversions.hexCommand(command == Command::HexEncode ? convert::Coding::Encode
                                                             : convert::Coding::Decode);
        break;
    default:
        break;
    }
}

} // namespace velmar::app
