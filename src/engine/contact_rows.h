// Shaping of handed-over rows into the run frame's contact columns: the site code of a
// task's start address picks a directory site's rule (which extracted items become the
// company, contact, mobile, address and e-mail columns, which decoration text is removed,
// which column is tested for duplicates); rows of tasks that match no directory site keep
// their fields as the rules produced them.
#pragma once

#include "engine/site_catalogue.h"
#include "engine/task_exec.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::engine {

// No directory site: rows are delivered as the rules produced them.
inline constexpr int kNoSite = -1;

// Items of 200 bytes or more are cut to their first 200 (never inside a character).
inline constexpr std::size_t kMaxItemBytes = 200;

class ContactShaper {
public:
    explicit ContactShaper(const SiteCatalogue& catalogue);

    // The code (0 .. 13) of the first directory site, in the fixed test order, whose match
    // token the lower-cased start address holds; kNoSite when none does.
    int siteCode(std::string_view urlbegin) const;

    // What a row is shaped against.
    struct Target {
        int serial = 0;           // the number the row gets
        std::string time;         // the collection time
        bool appendTime = true;   // kNoSite: the rules' own row lacks a time column
        char delimiter = '^';     // the task's rule separator
        // Whether a grid column already holds the value (case ignored, header included).
        std::function<bool(int column, const std::string& value)> columnHolds;
    };

    // Shapes one input row (changed in place: cut, removals). True with 'out' filled
    // (serial first, then the site's items, then the time) when the row is to be
    // appended; false when it is dropped.
    bool shape(int code, Row& items, const Target& target, std::vector<std::string>& out) const;

private:
    struct Removal {
        int item;
        std::string text;
    };
    struct Rule {
        const char* label;        // catalogue label whose token gives the code
        int dupItem, dupColumn;
        int minimum, key;
        std::vector<Removal> removals;
        std::vector<int> output;  // kLastItem: the input's last item
        bool removalFirst = false;
    };
    static constexpr int kLastItem = -1;

    std::vector<Rule> rules_;          // by code
    std::vector<int> testOrder_;       // codes in the order their tokens are tested
    std::vector<std::string> tokens_;  // by code, lower-cased
};

} // namespace tarvimo::engine
