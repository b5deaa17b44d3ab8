// The regular-expression scanners of the extraction engine (PCRE2, 8-bit, over GBK bytes),
// compiled once per engine and JIT-compiled where the library supports it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::engine {

class Regex {
public:
    explicit Regex(const char* pattern);
    ~Regex();
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // Every non-overlapping match, left to right.
    std::vector<std::string_view> findAll(std::string_view subject) const;
    // The first match; false when there is none.
    bool findFirst(std::string_view subject, std::string_view& match) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

class PatternSet {
public:
    PatternSet();
    // Mobile numbers in pattern order, each distinct number once, joined with ",".
    std::string mobiles(std::string_view text) const;
    // E-mail addresses, each once, joined with ",".
    std::string emails(std::string_view text) const;

private:
    std::vector<std::unique_ptr<Regex>> mobile_;
    std::unique_ptr<Regex> email_;
};

} // namespace tarvimo::engine
