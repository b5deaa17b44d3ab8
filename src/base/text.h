// Text helpers of the core. Inside the core every text is GBK bytes in a std::string
// (strictly GB18030, whose one- and two-byte characters are exactly GBK's), so lengths,
// cuts and positions are byte positions. Conversion happens only at the edges.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::text {

// True for a byte that starts a double-byte (or four-byte GB18030) character.
inline bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Length in bytes of the character starting at s[i]: 2 for a lead byte followed by a
// GBK trail byte (0x40..0xFE but 0x7F), 4 for a GB18030 four-byte sequence, else 1. A
// stray lead byte therefore never swallows a quote, blank, comma or line end after it.
inline std::size_t charLen(std::string_view s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    if (!isLeadByte(at(i)))
        return 1;
    if (i + 1 < s.size() && at(i + 1) >= 0x40 && at(i + 1) <= 0xFE && at(i + 1) != 0x7F)
        return 2;
    if (i + 3 < s.size() && at(i + 1) >= 0x30 && at(i + 1) <= 0x39 && isLeadByte(at(i + 2)) &&
        at(i + 3) >= 0x30 && at(i + 3) <= 0x39)
        return 4;
    return 1;
}

// UTF-8 -> GBK (through GB18030, so nothing is lost). Invalid UTF-8 bytes become '?'.
std::string utf8ToGbk(std::string_view utf8);
// GBK/GB18030 -> UTF-8. Each byte that starts no character becomes U+FFFD by itself, so a
// stray lead byte never takes a tab or line end after it. A lead byte followed by a byte of
// the trail range (such as '^') is one character, so parts joined by such a byte are
// converted one by one.
std::string gbkToUtf8(std::string_view gbk);
// Big5 -> GBK. Bytes that form no Big5 character are dropped.
std::string big5ToGbk(std::string_view big5);
// A text file's bytes as GBK: UTF-8 (after a byte-order mark, or valid UTF-8 throughout)
// is converted, anything else is taken as GBK already.
std::string fileTextToGbk(std::string_view bytes);

// A Chinese literal written in UTF-8 source, as the core's GBK bytes. Use it for texts
// the core compares or stores; keep UI captions in UTF-8.
inline std::string gbk(std::string_view utf8Literal) { return utf8ToGbk(utf8Literal); }

// The system's trim: blanks and control bytes (0x00..0x20) removed at both ends.
std::string_view trimView(std::string_view s);

// True when 's' holds at least one of the words that is not blank (letter case significant):
// the test of the gather, filter and keyword lists of a task.
bool containsAnyWord(std::string_view s, const std::vector<std::string>& words);
std::string trim(std::string_view s);
std::string_view trimLeftView(std::string_view s);
std::string_view trimRightView(std::string_view s);

// ASCII case folding that steps over double-byte characters and never changes them.
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
void toLowerInPlace(std::string& s);

bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view s, std::string_view prefix);
bool endsWithNoCase(std::string_view s, std::string_view suffix);

// First occurrence of needle at or after 'from', at a character boundary, comparing
// ASCII letters without regard to case. npos when absent; an empty needle is found at
// 'from' (when from <= size). 'from' must itself be a character boundary (0, or a position
// an earlier search returned plus a whole match), so a search never rescans the text before it.
std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from = 0);
// The same with exact comparison, still never matching inside a double-byte character.
std::size_t findChar(std::string_view hay, std::string_view needle, std::size_t from = 0);

// Every occurrence of 'from' replaced by 'to' (exact, left to right, non-overlapping,
// at character boundaries).
std::string replaceAll(std::string_view s, std::string_view from, std::string_view to);
std::string replaceAllNoCase(std::string_view s, std::string_view from, std::string_view to);
// The same in place; a text without 'from' is left alone without any copy. True when changed.
bool replaceAllInPlace(std::string& s, std::string_view from, std::string_view to);
bool replaceAllNoCaseInPlace(std::string& s, std::string_view from, std::string_view to);

// The text with every CR and LF replaced by a blank: a value or header that must stay on
// one line can then never smuggle further lines into a file or a request.
std::string oneLine(std::string_view s);

// The value of a hexadecimal digit (either case); -1 for any other character.
int hexDigitValue(char c);

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view s);

// The lines of a text; CR, LF or CR LF each end a line, and a line end at the very end
// adds no empty line.
std::vector<std::string> splitLines(std::string_view s);

// Whole-text conversion of integers the way the stores read them: optional blanks,
// optional sign, decimal digits; "0x"/"0X" hexadecimal when allowHex. False on anything
// else or on overflow of a signed 32-bit integer.
bool parseInt32(std::string_view s, int& out, bool allowHex);

} // namespace tarvimo::text
