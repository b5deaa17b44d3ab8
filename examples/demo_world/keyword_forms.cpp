// The keyword forms of the directory sites, both ways. A site reads the keyword back from
// its request as a real one would; where a form is ambiguous (the bare hexadecimal form
// leaves letters and digits as they are) it takes the reading that makes valid text.
#include "world_internal.h"

#include "base/text.h"
#include "directory/keyword_forms.h"

#include <array>
#include <cstdint>

namespace tarvimo::demo::detail {
namespace {

bool isAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Bytes the GBK forms leave as they are.
bool gbkUnreserved(unsigned char c) { return isAlnum(c) || c == '-' || c == '.' || c == '_'; }

// Code points of UTF-8 text; false for text that is no valid UTF-8.
bool codePoints(std::string_view s, std::vector<std::uint32_t>& out)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        std::uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t >> 6) != 2)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        static constexpr std::array<std::uint32_t, 5> kLeast{0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        out.push_back(cp);
        i += n;
    }
    return true;
}

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A keyword holds no control characters; a decoding that gives some is a wrong reading.
bool hasControl(std::string_view s)
{
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

std::string percentDecode(std::string_view s, bool plusIsBlank)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && text::hexDigitValue(s[i + 1]) >= 0 && text::hexDigitValue(s[i + 2]) >= 0) {
            out += static_cast<char>(text::hexDigitValue(s[i + 1]) * 16 + text::hexDigitValue(s[i + 2]));
            i += 2;
        } else if (s[i] == '+' && plusIsBlank) {
            out += ' ';
        } else {
            out += s[i];
        }
    }
    return out;
}

// GB18030 bytes as UTF-8, when they are whole characters that come back the same.
std::optional<std::string> fromGb18030(std::string_view bytes)
{
    if (hasControl(bytes))
        return std::nullopt;
    std::string utf8 = text::gbkToUtf8(bytes);
    if (text::utf8ToGbk(utf8) != bytes)
        return std::nullopt;
    return utf8;
}

std::optional<std::string> fromUtf8(std::string bytes)
{
    std::vector<std::uint32_t> cps;
    if (!codePoints(bytes, cps) || hasControl(bytes))
        return std::nullopt;
    return bytes;
}

// The bare hexadecimal form: each byte is either two hexadecimal digits (for a byte the
// form escapes) or itself (a letter, digit, '-', '.' or '_'). The reading that yields
// whole GB18030 characters is taken, two-digit bytes first; failures are remembered per
// position and state, so the search stays linear.
class BareHexReader {
public:
    explicit BareHexReader(std::string_view s) : s_(s), failed_(s.size() + 1) {}

    std::optional<std::string> read()
    {
        std::string bytes;
        if (!walk(0, 0, bytes))
            return std::nullopt;
        return fromGb18030(bytes);
    }

private:
    // State: 0 between characters, 1 after a lead byte, 2 after lead and digit, 3 after
    // lead, digit and a second lead (a four-byte character).
    static int next(int state, unsigned char b)
    {
        switch (state) {
        case 0:
            if (b >= 0x20 && b < 0x7F)
                return 0;
            return b >= 0x81 && b <= 0xFE ? 1 : -1;
        case 1:
            if (b >= 0x30 && b <= 0x39)
                return 2;
            return b >= 0x40 && b <= 0xFE && b != 0x7F ? 0 : -1;
        case 2: return b >= 0x81 && b <= 0xFE ? 3 : -1;
        default: return b >= 0x30 && b <= 0x39 ? 0 : -1;
        }
    }

    bool walk(std::size_t at, int state, std::string& bytes)
    {
        if (at == s_.size())
            return state == 0;
        if (failed_[at][static_cast<std::size_t>(state)])
            return false;
        if (at + 1 < s_.size() && text::hexDigitValue(s_[at]) >= 0 && text::hexDigitValue(s_[at + 1]) >= 0) {
            const auto b = static_cast<unsigned char>(text::hexDigitValue(s_[at]) * 16 + text::hexDigitValue(s_[at + 1]));
            if (const int to = next(state, b); to >= 0 && !gbkUnreserved(b)) {
                bytes += static_cast<char>(b);
                if (walk(at + 2, to, bytes))
                    return true;
                bytes.pop_back();
            }
        }
        const auto c = static_cast<unsigned char>(s_[at]);
        if (const int to = next(state, c); to >= 0 && gbkUnreserved(c)) {
            bytes += static_cast<char>(c);
            if (walk(at + 1, to, bytes))
                return true;
            bytes.pop_back();
        }
        failed_[at][static_cast<std::size_t>(state)] = true;
        return false;
    }

    std::string_view s_;
    std::vector<std::array<bool, 4>> failed_;
};

std::optional<std::string> fromUtf16DashHex(std::string_view s)
{
    if (s.empty() || s.size() % 5 != 0)
        return std::nullopt;
    std::vector<std::uint32_t> units;
    for (std::size_t i = 0; i < s.size(); i += 5) {
        if (s[i] != '-')
            return std::nullopt;
        std::uint32_t u = 0;
        for (std::size_t k = 1; k <= 4; ++k) {
            const int v = text::hexDigitValue(s[i + k]);
            if (v < 0)
                return std::nullopt;
            u = u * 16 + static_cast<std::uint32_t>(v);
        }
        units.push_back(u);
    }
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return std::nullopt;
            u = 0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        }
        appendUtf8(out, u);
    }
    if (hasControl(out))
        return std::nullopt;
    return out;
}

std::string searchPrefix() { return "site:(" + std::string(kCity58Host) + ")"; }

} // namespace

// The forms are the search's own, so a site reads exactly what a search sends.
std::string encodeKeyword(Form form, std::string_view keywordUtf8)
{
    using directory::KeywordForm;
    const std::string gbk = text::utf8ToGbk(keywordUtf8);
    switch (form) {
    case Form::GbkPercent: return directory::encodeKeyword(KeywordForm::GbkPercent, gbk);
    case Form::Utf8Form: return directory::encodeKeyword(KeywordForm::Utf8Form, gbk);
    case Form::GbkBareHex: return directory::encodeKeyword(KeywordForm::GbkBareHex, gbk);
    case Form::Utf16DashHex: return directory::encodeKeyword(KeywordForm::Utf16DashHex, gbk);
    case Form::SearchQuery:
        return "site%3A(" + std::string(kCity58Host) + ")" + directory::encodeKeyword(KeywordForm::BlankUtf8Form, gbk);
    }
    return {};
}

std::optional<std::string> decodeKeyword(Form form, std::string_view encoded)
{
    switch (form) {
    case Form::GbkPercent: return fromGb18030(percentDecode(encoded, false));
    case Form::Utf8Form: return fromUtf8(percentDecode(encoded, true));
    case Form::GbkBareHex:
        if (encoded.empty())
            return std::string();
        return BareHexReader(encoded).read();
    case Form::Utf16DashHex:
        if (encoded.empty())
            return std::string();
        return fromUtf16DashHex(encoded);
    case Form::SearchQuery: {
        auto query = fromUtf8(percentDecode(encoded, true));
        // A search restricted to the directory: the words after the restriction.
        if (query && query->starts_with(searchPrefix()))
            query->erase(0, searchPrefix().size());
        return query;
    }
    }
    return std::nullopt;
}

bool Search::wholeDirectory() const { return decoded && (text.empty() || text == kWholeDirectoryKeyword); }

std::string Search::seedKey() const { return (decoded ? "keyword:" : "encoded:") + text; }

Search searchOf(Form form, std::string_view encoded)
{
    Search s;
    if (auto keyword = decodeKeyword(form, encoded)) {
        s.decoded = true;
        s.text = text::trim(*keyword);
    } else {
        s.text = std::string(encoded);
    }
    return s;
}

} // namespace tarvimo::demo::detail
