#include "directory/keyword_forms.h"

#include "base/text.h"

#include <QString>

namespace tarvimo::directory {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, unsigned char c, bool percent)
{
    if (percent)
        out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

bool isAlnum(unsigned char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string gbkEscaped(std::string_view gbk, bool plusForBlank, bool percent)
{
    std::string out;
    out.reserve(gbk.size() * 3);
    for (const unsigned char c : gbk) {
        if (isAlnum(c) || c == '-' || c == '.' || c == '_')
            out += static_cast<char>(c);
        else if (c == ' ' && plusForBlank)
            out += '+';
        else
            appendEscaped(out, c, percent);
    }
    return out;
}

} // namespace

std::string GbkUrlEncode(std::string_view gbk, bool plusForBlank) { return gbkEscaped(gbk, plusForBlank, true); }

std::string GbkHexEncode(std::string_view gbk) { return gbkEscaped(gbk, false, false); }

std::string FormUrlEncode(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const unsigned char c : bytes) {
        if (isAlnum(c) || std::string_view("!$'()*-.@_").find(static_cast<char>(c)) != std::string_view::npos)
            out += static_cast<char>(c);
        else if (c == ' ')
            out += '+';
        else
            appendEscaped(out, c, true);
    }
    return out;
}

std::string Utf16DashHex(std::string_view gbk)
{
    const std::string utf8 = text::gbkToUtf8(gbk);
    const QString units = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    std::string out;
    out.reserve(static_cast<std::size_t>(units.size()) * 5);
    for (const QChar unit : units) {
        const unsigned v = unit.unicode();
        out += '-';
        out += kHex[(v >> 12) & 15];
        out += kHex[(v >> 8) & 15];
        out += kHex[(v >> 4) & 15];
        out += kHex[v & 15];
    }
    return out;
}

std::string encodeKeyword(KeywordForm form, std::string_view gbk)
{
    switch (form) {
    case KeywordForm::GbkPercent:
        return GbkUrlEncode(gbk, false);
    case KeywordForm::GbkBareHex:
        return GbkHexEncode(gbk);
    case KeywordForm::Utf8Form:
        return FormUrlEncode(text::gbkToUtf8(gbk));
    case KeywordForm::Utf16DashHex:
        return Utf16DashHex(gbk);
    case KeywordForm::BlankUtf8Form:
        return "%20" + FormUrlEncode(text::gbkToUtf8(gbk));
    }
    return {};
}

} // namespace tarvimo::directory
