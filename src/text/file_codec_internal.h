#pragma once

// Shared by the decoding and the appending halves of the file codec; not part of
// its interface.

namespace velmar::text::detail {

// Both resolve through ICU on Debian's Qt. Its EUC-JP holds the code page 932
// forms (～ as A1 C1); its ISO-2022-JP holds the JIS forms (〜 as 21 41).
inline constexpr char kEucJpName[] = "EUC-JP";
inline constexpr char kIso2022JpName[] = "ISO-2022-JP";

} // namespace velmar::text::detail
