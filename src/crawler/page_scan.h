// Finding links in a downloaded page by markers rather than by parsing HTML: the body is
// cleaned, the bytes ending each marker are replaced by a code, containers that were
// never closed are closed, and the values after the link markers are read. Tolerant of
// any bytes; one pass per phase.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::crawler {

// The codes a marker leaves in the text. All are below 32, which cleaning removes from
// the page, so a code is never page text.
enum MarkCode : char {
    kLinkAttribute = 4,    // " HREF=", "OPENWIN( "
    kOptionValue = 5,      // " VALUE="
    kEmbedAttribute = 6,   // " SRC="
    kBaseAddress = 7,      // "BASE HREF="
    kContainerOpen = 14,   // "<A", "<FRAME", "<OPTION", "<APPLET"
    kContainerClose = 16,  // "/A>", "A/>", "</FRAME", "/OPTION>", "/APPLET>"
};

// Bytes below 32 dropped; quotes and commas become blanks; blanks around "=" and runs of
// blanks shrink away.
std::string cleanBody(std::string_view body);
// Replaces the last byte of every marker occurrence with its code; true when any was found.
bool markText(std::string& text);
// An opening code inside an open container closes that container first.
void repairNesting(std::string& text);

struct FoundValue {
    char kind;            // kLinkAttribute, kOptionValue, kEmbedAttribute or kBaseAddress
    std::string value;
};
// Reads the values after the link markers, in page order, and hands each acceptable one
// to 'found'; reading stops when 'found' answers false.
void scanValues(std::string_view marked, const std::function<bool(const FoundValue&)>& found);

// The whole scan of one page body: clean, mark, repair, read.
void scanPage(std::string_view body, const std::function<bool(const FoundValue&)>& found);

struct MetaTag {
    std::string type;                 // "TITLE" or the tag's name, such as "META"
    std::string attrib[3], value[3];
};
struct HeadInfo {
    std::vector<MetaTag> tags;        // the title first, when there is one
    std::vector<std::string> refresh; // the targets of refresh tags, as written
};
// The title and the tags of the page's head.
HeadInfo readHead(std::string_view body);

} // namespace tarvimo::crawler
