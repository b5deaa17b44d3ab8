// The crawler's containers: the record travelling with a queued address, the queue of
// addresses waiting for a download slot, and the sorted text list used as the visited
// set, the host set and the keyword lists. Used by the main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::crawler {

struct TUrlObject {
    std::string referrer;     // the page the link was found on; sent as the referrer
    int depth = 1;            // 1 for a starting address
    int retries = 0;          // failed attempts so far
    char linkKind = ' ';      // the marker kind the link was found through
    bool keepBody = true;     // whether the body is kept as text
    int areaNumber = 0;
};

// First in, first out; duplicates allowed (the scan controller suppresses them).
class TUrlInQueue {
public:
    struct Entry {
        std::string url;
        TUrlObject object;
    };
    void add(std::string url, TUrlObject object) { entries_.push_back({std::move(url), std::move(object)}); }
    std::size_t count() const { return entries_.size(); }
    const Entry& operator[](std::size_t i) const { return entries_[i]; }
    void remove(std::size_t i) { entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i)); }
    Entry takeFirst()
    {
        Entry e = std::move(entries_.front());
        entries_.pop_front();
        return e;
    }
    void clear() { entries_.clear(); }

private:
    std::deque<Entry> entries_;
};

// Texts with one integer each, compared byte by byte with ASCII a-z folded to upper case
// (other bytes unsigned, unfolded); a prefix sorts first. Searched only after Sort() or
// through FindOrAdd, which keeps the order.
class TMFStringList {
public:
    struct Found {
        bool found = false;
        int index = -1;       // the match, when found
        int insertAt = 0;     // where the text would keep the order
    };

    static int compare(std::string_view a, std::string_view b);

    void setDescending(bool on) { descending_ = on; }
    void setDropEmpty(bool on) { dropEmpty_ = on; }

    Found FindOrAdd(std::string_view text, bool addIfMissing, std::intptr_t object = 0);
    void Sort();
    // One entry per line, in the text's order ("\r\n" or "\n").
    void setText(std::string_view text);
    void add(std::string text, std::intptr_t object = 0) { items_.push_back({std::move(text), object}); }
    void clear() { items_.clear(); }

    std::size_t count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const std::string& operator[](std::size_t i) const { return items_[i].text; }
    std::intptr_t object(std::size_t i) const { return items_[i].object; }
    void setObject(std::size_t i, std::intptr_t value) { items_[i].object = value; }
    void reserve(std::size_t n) { items_.reserve(n); }

private:
    struct Item {
        std::string text;
        std::intptr_t object = 0;
    };
    int ordered(std::string_view a, std::string_view b) const { return descending_ ? compare(b, a) : compare(a, b); }

    std::vector<Item> items_;
    bool descending_ = false;
    bool dropEmpty_ = true;
};

} // namespace tarvimo::crawler
