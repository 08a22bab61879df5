#pragma once

// Every key of the settings store with the default its readers pass, in one place.

#include "settings/settings_store.h"

namespace velmar::settings::keys {

using enum Section;

// Section "general".
inline constexpr Setting ResMoji{General, u"res_moji", u">"};
inline constexpr Setting Ime{General, u"IME", u"1"};
inline constexpr Setting BgColor{General, u"BGCOLOR", u"NULL"};
inline constexpr Setting IpmBgColor{General, u"IPMBGCOLOR", u"NULL"};
inline constexpr Setting FuzaiBgColor{General, u"FuzaiBGColor", u"NULL"};
inline constexpr Setting DefoBgColor{General, u"DefoBGColor", u"NULL"};
inline constexpr Setting ResColor{General, u"ResColor", u"NULL"};
inline constexpr Setting Password{General, u"PASSWORD", u""};
inline constexpr Setting ItiIsSave{General, u"ITI_IsSave", u"0"};
inline constexpr Setting Iti{General, u"ITI", u""};
inline constexpr Setting ItiMode{General, u"ITI_Mode", u"0"};
inline constexpr Setting JisInOut{General, u"JIS_INOUT", u""};
inline constexpr Setting TransModeUnicode{General, u"TransModeUNICODE", u"0"};
inline constexpr Setting TransModeUnicodeCount{General, u"TransModeUNICODECount", u"49"};
// "1" when the encoders work on UTF-8 bytes ("UTF-8 化してエンコード").
inline constexpr Setting TransModeUtf8{General, u"TransModeUTF8", u"0"};
inline constexpr Setting FontName{General, u"FontName", u"NULL"};
inline constexpr Setting FontBold{General, u"FontBold", u"NULL"};
inline constexpr Setting FontItalic{General, u"FontItalic", u"NULL"};
inline constexpr Setting FontStrikethru{General, u"FontStrikethru", u"NULL"};
inline constexpr Setting FontUnderline{General, u"FontUnderline", u"NULL"};
inline constexpr Setting FontSize{General, u"Fontsize", u"NULL"};
inline constexpr Setting FontColor{General, u"FontColor", u"0"};
inline constexpr Setting SoundFile{General, u"SoundFile", u""};
inline constexpr Setting PgpSign{General, u"m_pgpSign", u""};
inline constexpr Setting PgpSend{General, u"m_pgpSend", u""};
inline constexpr Setting PgpRes{General, u"m_pgpRes", u""};
inline constexpr Setting PgpJis{General, u"m_pgpJIS", u""};

// Section "IPM".
inline constexpr Setting Port{Ipm, u"Port", u"2425"};
inline constexpr quint16 DefaultPort = 2425;

// Section "IPM\<port>".
inline constexpr Setting UserName{IpmPort, u"UserName", u"NoName"};
inline constexpr Setting GroupName{IpmPort, u"GroupName", u"NoGroup"};
inline constexpr Setting Retry{IpmPort, u"Retry", u"6"};
inline constexpr Setting ListSort{IpmPort, u"ListSort", u"1"};
inline constexpr Setting ListSortZyun{IpmPort, u"ListSortZyun", u"0"};
inline constexpr Setting BroadCast{IpmPort, u"BroadCast", u"NULL"};
inline constexpr Setting NoHere{IpmPort, u"NoHere", u"NULL"};

} // namespace velmar::settings::keys
