#include "engine/patterns.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <stdexcept>

namespace tarvimo::engine {

struct Regex::Impl {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
};

Regex::Regex(const char* pattern) : d(std::make_unique<Impl>())
{
    int err = 0;
    PCRE2_SIZE offset = 0;
    d->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &err, &offset, nullptr);
    if (!d->code)
        throw std::runtime_error(std::string("bad pattern ") + pattern);
    // JIT is an optimisation only: without it the interpreter gives the same matches.
    pcre2_jit_compile(d->code, PCRE2_JIT_COMPLETE);
    d->data = pcre2_match_data_create_from_pattern(d->code, nullptr);
}

Regex::~Regex()
{
    pcre2_match_data_free(d->data);
    pcre2_code_free(d->code);
}

std::vector<std::string_view> Regex::findAll(std::string_view subject) const
{
    std::vector<std::string_view> out;
    PCRE2_SIZE at = 0;
    while (at <= subject.size()) {
        int rc = pcre2_match(d->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), at, 0, d->data,
                             nullptr);
        if (rc < 0)
            break;
        const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(d->data);
        if (ov[1] < ov[0])
            break;
        out.push_back(subject.substr(ov[0], ov[1] - ov[0]));
        at = ov[1] > ov[0] ? ov[1] : ov[1] + 1;  // an empty match must still move on
    }
    return out;
}

bool Regex::findFirst(std::string_view subject, std::string_view& match) const
{
    if (pcre2_match(d->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0, d->data, nullptr) < 0)
        return false;
    const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(d->data);
    if (ov[1] < ov[0])
        return false;
    match = subject.substr(ov[0], ov[1] - ov[0]);
    return true;
}

namespace {

// Appends each match not yet contained in the result text, joined with ",".
void appendDistinct(std::string& result, const std::vector<std::string_view>& matches)
{
    for (auto m : matches) {
        if (result.find(m) != std::string::npos)
            continue;
        if (!result.empty())
            result += ',';
        result.append(m);
    }
}

} // namespace

PatternSet::PatternSet()
{
    for (const char* p : {R"(1(3[4-9]|5[012789]|8[78])\d{8})", R"(1[78][0-9]\d{8})", R"(1(3[0-2]|5[56]|8[56])\d{8})",
                          R"(1[35]3\d{8})"})
        mobile_.push_back(std::make_unique<Regex>(p));
    email_ = std::make_unique<Regex>(R"(\w+([-+.]\w+)*@\w+([-.]\w+)*\.\w+([-.]\w+)*)");
}

std::string PatternSet::mobiles(std::string_view text) const
{
    std::string result;
    for (const auto& r : mobile_)
        appendDistinct(result, r->findAll(text));
    if (result.find_first_of("<>") != std::string::npos)
        result.clear();
    return result;
}

std::string PatternSet::emails(std::string_view text) const
{
    // Every match holds one "@" with a run of word characters and "-+." on its left and of
    // word characters and "-." on its right, so the pattern runs only on those windows.
    // Run over the whole page it would backtrack quadratically on long runs of letters.
    auto isWord = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    };
    std::string result;
    std::size_t done = 0;  // matches never overlap: a window starts after the last match
    for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', at + 1)) {
        std::size_t b = at;
        while (b > done && (isWord(text[b - 1]) || text[b - 1] == '-' || text[b - 1] == '+' || text[b - 1] == '.'))
            --b;
        std::size_t e = at + 1;
        while (e < text.size() && (isWord(text[e]) || text[e] == '-' || text[e] == '.'))
            ++e;
        auto matches = email_->findAll(text.substr(b, e - b));
        if (!matches.empty())
            done = static_cast<std::size_t>(matches.back().data() + matches.back().size() - text.data());
        appendDistinct(result, matches);
    }
    if (result.find_first_of("<>") != std::string::npos || result.find('@') == std::string::npos)
        result.clear();
    return result;
}

} // namespace tarvimo::engine
