// Every warning, information and question shown to the user goes through this interface.
// The desktop program shows message boxes; the headless front end prints to standard
// error; tests record the exact texts. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo {

class UserMessages {
public:
    virtual ~UserMessages() = default;
    virtual void warning(std::string_view text) = 0;
    virtual void information(std::string_view text) = 0;
    // True for "yes".
    virtual bool question(std::string_view text) = 0;
};

// Prints to standard error; questions are answered with a fixed reply.
class StderrMessages : public UserMessages {
public:
    explicit StderrMessages(bool answer = false) : answer_(answer) {}
    void warning(std::string_view text) override;
    void information(std::string_view text) override;
    bool question(std::string_view text) override;

private:
    bool answer_;
};

// Keeps every message in order, for tests and for callers that show them later.
class RecordedMessages : public UserMessages {
public:
    struct Entry {
        enum Kind { Warning, Information, Question } kind;
        std::string text;
        bool operator==(const Entry&) const = default;
    };
    explicit RecordedMessages(bool answer = false) : answer_(answer) {}
    void warning(std::string_view text) override { entries.push_back({Entry::Warning, std::string(text)}); }
    void information(std::string_view text) override { entries.push_back({Entry::Information, std::string(text)}); }
    bool question(std::string_view text) override
    {
        entries.push_back({Entry::Question, std::string(text)});
        return answer_;
    }
    std::vector<Entry> entries;

private:
    bool answer_;
};

} // namespace tarvimo
