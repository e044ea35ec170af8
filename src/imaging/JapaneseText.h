#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace imaging {

// Whether a Specific Character Set value (terms separated by backslashes) names the Japanese
// code extensions: ISO 2022 IR 87 or IR 159, with IR 6 or IR 13 as the default set. The
// character set converter of the toolkit cannot open these on every system.
bool IsJapaneseCodeExtension(std::string_view specificCharacterSet);

// The UTF-8 text of a value written with the Japanese code extensions: escape sequences switch
// between ASCII, JIS X 0201 romaji and katakana, JIS X 0208 and JIS X 0212; every delimiter
// (the component and group delimiters of a person name, the value separator and control
// characters) returns to the default set. withKatakana: IR 13 is the default set, so bytes
// 0xA1 .. 0xDF are half-width katakana. Nothing when the value cannot be decoded.
std::optional<std::string> DecodeJapanese(std::string_view value, bool withKatakana,
                                          std::string_view delimiters);

}  // namespace imaging
