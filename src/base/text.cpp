#include "base/text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tarvimo::text {
namespace {

// One converter per thread and direction, opened on first use: opening one costs more
// than converting a short cell.
iconv_t converter(const char* from, const char* to)
{
    struct Cached {
        const char* from;
        const char* to;
        iconv_t cd;
    };
    struct Cache {
        std::vector<Cached> entries;
        ~Cache()
        {
            for (const Cached& c : entries)
                iconv_close(c.cd);
        }
    };
    thread_local Cache cache;
    for (const Cached& c : cache.entries)
        if (std::strcmp(c.from, from) == 0 && std::strcmp(c.to, to) == 0)
            return c.cd;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    cache.entries.push_back({from, to, cd});
    return cd;
}

// One conversion through iconv. 'onBad' decides what an invalid input byte becomes;
// the byte is then skipped and conversion goes on, so no input stops the conversion.
std::string convert(std::string_view in, const char* from, const char* to, std::string_view onBad)
{
    // Every encoding converted here keeps ASCII as it is.
    if (std::all_of(in.begin(), in.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(in);
    iconv_t cd = converter(from, to);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(in.size() + in.size() / 2 + 16);
    char buf[4096];
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    while (srcLeft > 0) {
        char* dst = buf;
        size_t dstLeft = sizeof buf;
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<size_t>(dst - buf));
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ (invalid or unconvertible) or EINVAL (truncated at the end): replace one byte.
        out.append(onBad);
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, static_cast<size_t>(dst - buf));
    return out;
}

inline bool isBlank(unsigned char c) { return c <= 0x20; }
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Compares needle with hay at i; double-byte characters of the needle compare exactly, so
// a trail byte is never folded.
bool matchAt(std::string_view hay, std::size_t i, std::string_view needle, bool noCase)
{
    for (std::size_t k = 0; k < needle.size();) {
        std::size_t n = charLen(needle, k);
        if (n > 1) {
            if (hay.substr(i + k, n) != needle.substr(k, n))
                return false;
        } else if (noCase ? lowerAscii(hay[i + k]) != lowerAscii(needle[k]) : hay[i + k] != needle[k]) {
            return false;
        }
        k += n;
    }
    return true;
}

std::size_t findImpl(std::string_view hay, std::string_view needle, std::size_t from, bool noCase)
{
    if (from > hay.size())
        return std::string_view::npos;
    if (needle.empty())
        return from;
    if (needle.size() > hay.size())
        return std::string_view::npos;
    const std::size_t last = hay.size() - needle.size();
    std::size_t i = from;
    const char first = noCase ? lowerAscii(needle[0]) : needle[0];
    for (; i <= last; i += charLen(hay, i)) {
        if ((noCase ? lowerAscii(hay[i]) : hay[i]) == first && matchAt(hay, i, needle, noCase))
            return i;
    }
    return std::string_view::npos;
}

template <typename Finder>
std::string replaceImpl(std::string_view s, std::string_view from, std::string_view to, Finder find)
{
    if (from.empty())
        return std::string(s);
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = find(s, from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(s.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(s.substr(pos));
    return out;
}

} // namespace

std::string utf8ToGbk(std::string_view utf8) { return convert(utf8, "UTF-8", "GB18030", "?"); }

std::string gbkToUtf8(std::string_view gbk) { return convert(gbk, "GB18030", "UTF-8", "\xEF\xBF\xBD"); }

std::string big5ToGbk(std::string_view big5) { return convert(big5, "BIG5", "GB18030", ""); }

std::string fileTextToGbk(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return utf8ToGbk(bytes.substr(3));
    if (isValidUtf8(bytes))
        return utf8ToGbk(bytes);
    return std::string(bytes);
}

std::string_view trimLeftView(std::string_view s)
{
    std::size_t b = 0;
    while (b < s.size() && isBlank(static_cast<unsigned char>(s[b])))
        ++b;
    return s.substr(b);
}

std::string_view trimRightView(std::string_view s)
{
    std::size_t e = s.size();
    while (e > 0 && isBlank(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(0, e);
}

std::string_view trimView(std::string_view s) { return trimRightView(trimLeftView(s)); }

std::string trim(std::string_view s) { return std::string(trimView(s)); }

void toLowerInPlace(std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        // Runs of ASCII bytes are the common case of every page.
        while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) {
            s[i] = lowerAscii(s[i]);
            ++i;
        }
        if (i >= s.size())
            break;
        std::size_t n = charLen(s, i);
        if (n == 1)
            s[i] = lowerAscii(s[i]);
        i += n;
    }
}

std::string toLower(std::string_view s)
{
    std::string out(s);
    toLowerInPlace(out);
    return out;
}

std::string toUpper(std::string_view s)
{
    std::string out(s);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t n = charLen(out, i);
        if (n == 1)
            out[i] = upperAscii(out[i]);
        i += n;
    }
    return out;
}

bool containsAnyWord(std::string_view s, const std::vector<std::string>& words)
{
    for (const auto& w : words)
        if (!trimView(w).empty() && s.find(w) != std::string_view::npos)
            return true;
    return false;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && matchAt(a, 0, b, true);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

bool endsWithNoCase(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && equalsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from)
{
    return findImpl(hay, needle, from, true);
}

std::size_t findChar(std::string_view hay, std::string_view needle, std::size_t from)
{
    return findImpl(hay, needle, from, false);
}

std::string replaceAll(std::string_view s, std::string_view from, std::string_view to)
{
    return replaceImpl(s, from, to, [](std::string_view h, std::string_view n, std::size_t p) {
        return findChar(h, n, p);
    });
}

std::string replaceAllNoCase(std::string_view s, std::string_view from, std::string_view to)
{
    return replaceImpl(s, from, to, [](std::string_view h, std::string_view n, std::size_t p) {
        return findNoCase(h, n, p);
    });
}

std::string oneLine(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        unsigned long cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return false;
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

std::vector<std::string> splitLines(std::string_view s)
{
    std::vector<std::string> lines;
    std::size_t b = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' || s[i] == '\n') {
            lines.emplace_back(s.substr(b, i - b));
            if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            b = i + 1;
        }
    }
    if (b < s.size())
        lines.emplace_back(s.substr(b));
    return lines;
}

bool replaceAllInPlace(std::string& s, std::string_view from, std::string_view to)
{
    if (from.empty() || findChar(s, from) == std::string::npos)
        return false;
    s = replaceAll(s, from, to);
    return true;
}

bool replaceAllNoCaseInPlace(std::string& s, std::string_view from, std::string_view to)
{
    if (from.empty() || findNoCase(s, from) == std::string::npos)
        return false;
    s = replaceAllNoCase(s, from, to);
    return true;
}

bool parseInt32(std::string_view s, int& out, bool allowHex)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        neg = s[i] == '-';
        ++i;
    }
    int base = 10;
    if (allowHex && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= s.size())
        return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        const int d = hexDigitValue(s[i]);
        if (d < 0 || d >= base)
            return false;
        v = v * base + d;
        // Hexadecimal texts may spell the full 32-bit pattern (0xFFFFFFFF is -1).
        if (v > (base == 16 ? 0xFFFFFFFFLL : static_cast<long long>(INT_MAX) + 1))
            return false;
    }
    if (base == 16) {
        if (neg)
            v = -v;
        out = static_cast<int>(static_cast<unsigned int>(static_cast<long long>(v) & 0xFFFFFFFFLL));
        return true;
    }
    if (neg)
        v = -v;
    if (v > INT_MAX || v < INT_MIN)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace tarvimo::text
