// The four ways a search keyword is written into a directory site's search address. Each
// takes the keyword as GBK text (the UTF-8 form takes the bytes it is given).
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::directory {

// Per byte: '-', '.', digits, letters and '_' pass; a blank is "%20" ("+" with
// plusForBlank); every other byte is '%' and two upper-case hexadecimal digits.
std::string GbkUrlEncode(std::string_view gbk, bool plusForBlank);
// GbkUrlEncode without its '%' signs: a blank is "20", each escaped byte two bare digits.
std::string GbkHexEncode(std::string_view gbk);
// Per byte: ! $ ' ( ) * - . digits @ letters _ pass; a blank is '+'; every other byte is
// '%' and two upper-case hexadecimal digits.
std::string FormUrlEncode(std::string_view bytes);
// The keyword as UTF-16 code units, each written "-" and four upper-case hexadecimal
// digits (中文 -> -4E2D-6587). A character beyond the basic plane is its surrogate pair.
std::string Utf16DashHex(std::string_view gbk);

enum class KeywordForm {
    GbkPercent,     // GbkUrlEncode(k, false)
    GbkBareHex,     // GbkHexEncode(k)
    Utf8Form,       // FormUrlEncode(UTF-8 of k)
    Utf16DashHex,   // Utf16DashHex(k)
    BlankUtf8Form,  // "%20" followed by the UTF-8 form
};

std::string encodeKeyword(KeywordForm form, std::string_view gbk);

} // namespace tarvimo::directory
