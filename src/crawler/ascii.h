// Byte-wise ASCII case folding for the crawler's rules, which compare byte by byte
// whatever the page's encoding (the engine's text helpers step over GBK characters).
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::crawler::ascii {

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string upperCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = upper(c);
    return out;
}

inline std::string lowerCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

// First position at or after 'from' where 'upperNeedle' (given in upper case) stands,
// letters compared without regard to case; npos when absent.
inline std::size_t findNoCase(std::string_view text, std::string_view upperNeedle, std::size_t from = 0)
{
    for (std::size_t i = from; i + upperNeedle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < upperNeedle.size() && upper(text[i + k]) == upperNeedle[k])
            ++k;
        if (k == upperNeedle.size())
            return i;
    }
    return std::string_view::npos;
}

} // namespace tarvimo::crawler::ascii
