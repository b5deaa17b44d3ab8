// An ordered list of addresses with a duplicate index beside it. Addresses compare without
// regard to ASCII letter case (double-byte characters are compared whole), so "is it
// already there?" costs the same for the millionth address as for the first.
// Not thread-safe: the task master guards its lists with its own lock.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::engine {

class UrlList {
public:
    UrlList();
    UrlList(const UrlList&);
    UrlList& operator=(const UrlList&);
    UrlList(UrlList&&) noexcept;
    UrlList& operator=(UrlList&&) noexcept;
    ~UrlList();

    // Appends when no equal address is present; true when appended.
    bool add(std::string url);
    // Appends unconditionally (lists that may hold duplicates); the index is kept.
    void append(std::string url);
    bool contains(std::string_view url) const;

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    const std::string& operator[](std::size_t i) const { return items_[i]; }
    const std::vector<std::string>& items() const { return items_; }
    void reserve(std::size_t n);
    void clear();

private:
    // Grows the index so one more address fits; throws when the list is full.
    void makeRoomForOne();
    // Each slot holds an item index + 1 (0: empty) and the item's hash, so a probe passes
    // other addresses without comparing texts and growing never hashes an address again.
    struct Slot {
        unsigned item = 0;
        unsigned hash = 0;
    };
    void rehash(std::size_t slots);
    void insertIndex(std::size_t item, unsigned hash);
    std::size_t findSlot(std::string_view url, unsigned hash) const;

    std::vector<std::string> items_;
    std::vector<Slot> slots_;  // open addressing, linear probing, at most half full
};

// Hash and equality that ignore ASCII letter case the way text::equalsNoCase does.
std::size_t hashNoCase(std::string_view s);

} // namespace tarvimo::engine
