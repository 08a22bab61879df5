#pragma once

namespace velmar::app {

// Every command of the menu bar and the toolbar. Menu items and toolbar buttons are
// found by it; their control names ("m_resset", "t_send") are only their objectName.
enum class Command {
    // File
    Send,
    New,
    Open,
    Update,
    SaveAs,
    Print,
    PrinterSetup,
    End,
    // Edit
    View,
    AllCopy,
    SelCopy,
    ResCopy,
    Paste,
    SpaceCut,
    CopyAndTask,
    ToTray,
    Empty,
    // PGP and its options (the option commands arrive after the mark has flipped)
    PgpEncrypt,
    PgpDecrypt,
    PgpSign,
    PgpOptionSign,
    PgpOptionSend,
    PgpOptionRes,
    PgpOptionJis,
    // Kanji conversions; JisIn/JisOut arrive after the choice is marked: read jisIn()/jisOut()
    ToSjis,
    ToIso2022jp,
    SjisGo,
    JisGo,
    JisIn,
    JisOut,
    // Automatic IME: ImeOn/ImeOff from the menu, ImeToggle from the toolbar button
    ImeOn,
    ImeOff,
    ImeToggle,
    // Arrangement of the text windows
    Cascade,
    TileHorizontal,
    TileVertical,
    ArrangeIcons,
    // Closing text windows: the active one, or all of them
    CloseWindow,
    CloseAllWindows,
    Settings,
    Version,
    // Encoders; UnicodeToggle and Utf8Toggle arrive after the mark has flipped
    UnicodeToggle,
    Utf8Toggle,
    Base64Encode,
    Base64Decode,
    UrlEncode,
    UrlDecode,
    HexEncode,
    HexDecode,
    History,
};

} // namespace velmar::app
