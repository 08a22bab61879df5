#pragma once

// Every key of the settings store with the default its readers pass, in one place,
// and the typed readings of the keys whose values need one.

#include "settings/settings_store.h"
#include "settings/typed_setting.h"

namespace velmar::settings::keys {

using enum Section;

// Section "general".
inline constexpr Setting ReplyMark{General, u"res_moji", u">"};
inline constexpr Setting Ime{General, u"IME", u"1"};
inline constexpr Setting BackgroundColour{General, u"BGCOLOR", u"NULL"};
inline constexpr Setting MessageBackgroundColour{General, u"IPMBGCOLOR", u"NULL"};
inline constexpr Setting AbsentBackgroundColour{General, u"FuzaiBGColor", u"NULL"};
inline constexpr Setting PresentBackgroundColour{General, u"DefoBGColor", u"NULL"};
inline constexpr Setting ReplyColours{General, u"ResColor", u"NULL"};
inline constexpr Setting Password{General, u"PASSWORD", u""};
inline constexpr Setting SavePlacement{General, u"ITI_IsSave", u"0"};
inline constexpr Setting Placement{General, u"ITI", u""};
inline constexpr Setting StartMode{General, u"ITI_Mode", u"0"};
inline constexpr Setting JisEscapes{General, u"JIS_INOUT", u""};
inline constexpr Setting EncodeAsUnicode{General, u"TransModeUNICODE", u"0"};
inline constexpr Setting HexLineWidth{General, u"TransModeUNICODECount", u"49"};
// "1" when the encoders work on UTF-8 bytes ("UTF-8 化してエンコード").
inline constexpr Setting EncodeAsUtf8{General, u"TransModeUTF8", u"0"};
inline constexpr Setting FontName{General, u"FontName", u"NULL"};
inline constexpr Setting FontBold{General, u"FontBold", u"NULL"};
inline constexpr Setting FontItalic{General, u"FontItalic", u"NULL"};
inline constexpr Setting FontStrikeOut{General, u"FontStrikethru", u"NULL"};
inline constexpr Setting FontUnderline{General, u"FontUnderline", u"NULL"};
inline constexpr Setting FontSize{General, u"Fontsize", u"NULL"};
inline constexpr Setting FontColour{General, u"FontColor", u"0"};
inline constexpr Setting SoundFile{General, u"SoundFile", u""};
inline constexpr Setting PgpSign{General, u"m_pgpSign", u""};
inline constexpr Setting PgpSend{General, u"m_pgpSend", u""};
inline constexpr Setting PgpRes{General, u"m_pgpRes", u""};
inline constexpr Setting PgpJis{General, u"m_pgpJIS", u""};
// The last recipients (fingerprints separated by ",") and signing key of the PGP component.
inline constexpr Setting PgpRecipients{General, u"PgpRecipients", u""};
inline constexpr Setting PgpSigner{General, u"PgpSigner", u""};
// "1" shows a desktop notification when a message arrives, anything else not.
inline constexpr Setting Notify{General, u"Notify", u"1"};
// The folder the open and save dialogs last worked in; empty: the home folder.
inline constexpr Setting LastFolder{General, u"LastFolder", u""};

// The message history: whether it is kept ("1"/"0") and for how many days ("0": always).
inline constexpr Setting KeepHistory{General, u"History", u"1"};
inline constexpr Setting HistoryDays{General, u"HistoryDays", u"0"};

// Section "IPM".
inline constexpr Setting Port{Ipm, u"Port", u"2425"};
inline constexpr quint16 DefaultPort = 2425;
// The last packet number the messaging engine used, so that a restart never reuses one.
inline constexpr Setting LastPacketNumber{Ipm, u"LastPacketNumber", u"0"};

// Section "IPM\<port>".
inline constexpr Setting UserName{IpmPort, u"UserName", u"NoName"};
inline constexpr Setting GroupName{IpmPort, u"GroupName", u"NoGroup"};
inline constexpr Setting Retry{IpmPort, u"Retry", u"6"};
inline constexpr Setting ListSort{IpmPort, u"ListSort", u"1"};
inline constexpr Setting SortAscending{IpmPort, u"ListSortZyun", u"0"};
inline constexpr Setting BroadcastList{IpmPort, u"BroadCast", u"NULL"};
inline constexpr Setting AbsenceMessages{IpmPort, u"NoHere", u"NULL"};

// Keys read as values, with the reading each one needs.
inline constexpr TypedSetting<int> HexLineWidthValue{HexLineWidth, &hexLineWidth};
inline constexpr TypedSetting<std::optional<double>> FontPoints{FontSize, &fontPoints};
inline constexpr TypedSetting<std::optional<bool>> FontBoldFlag{FontBold, &styleFlag};
inline constexpr TypedSetting<std::optional<bool>> FontItalicFlag{FontItalic, &styleFlag};
inline constexpr TypedSetting<std::optional<bool>> FontStrikeOutFlag{FontStrikeOut, &styleFlag};
inline constexpr TypedSetting<std::optional<bool>> FontUnderlineFlag{FontUnderline, &styleFlag};
inline constexpr TypedSetting<std::optional<QRect>> PlacementTwips{Placement, &placementTwips};
inline constexpr TypedSetting<int> RetryCount{Retry, &retryTimes};
inline constexpr TypedSetting<qint64> SortAscendingNumber{SortAscending, &wholeNumber};

} // namespace velmar::settings::keys
