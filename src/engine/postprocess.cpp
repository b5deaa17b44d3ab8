#include "engine/postprocess.h"

#include "base/text.h"
#include "store/delimited.h"
#include "store/marker_text.h"

#include <utility>

namespace tarvimo::engine {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// A hostile begin/end pair must not keep a field busy forever.
constexpr int kMaxSpanRounds = 2000;
// A filter item may list many words; only this many are looked for.
constexpr std::size_t kMaxFilterWords = 500;

// The fixed words of formulas, filters and type names, as the core's GBK bytes.
struct Words {
    std::string sourceFile = text::gbk("[源文件]=");
    std::string replaceWith = text::gbk("[替换为]");
    std::string notEmpty = text::gbk("[不为空]");
    std::string notContaining = text::gbk("[不包含]");
    std::string containing = text::gbk("[包含]");
    std::string yes = text::gbk("是");
    std::string urlType = text::gbk("URL类型");
    std::string mediaType = text::gbk("多媒体类型");
    std::string linkType = text::gbk("关联地址类型");
};

const Words& words()
{
    static const Words w;
    return w;
}

// Index k >= 1 of 'name' in a caption list (index 0 is the header), npos when absent. An
// empty name never matches, or it would find the rule table's trailing empty row.
std::size_t captionIndex(const std::vector<std::string>& captions, std::string_view name)
{
    if (name.empty())
        return npos;
    for (std::size_t k = 1; k < captions.size(); ++k)
        if (captions[k] == name)
            return k;
    return npos;
}

// "[名称]" -> "名称": every bracket removed, trimmed. Character-aware, since a bracket byte
// can be the second byte of a GBK character.
std::string withoutBrackets(std::string_view s)
{
    return text::trim(text::replaceAll(text::replaceAll(s, "[", ""), "]", ""));
}

// The text without its first and last character.
std::string_view innerText(std::string_view s)
{
    if (s.empty())
        return {};
    const std::size_t first = text::charLen(s, 0);
    std::size_t last = first;
    for (std::size_t i = first; i < s.size(); i += text::charLen(s, i))
        last = i;
    return last > first ? s.substr(first, last - first) : std::string_view{};
}

// The words of a filter condition: "/"-separated, a leading "/" dropped and a trailing
// one ensured, so every word is the text before a "/".
std::vector<std::string> slashWords(std::string list, bool lowerCase)
{
    if (lowerCase)
        text::toLowerInPlace(list);
    if (list.starts_with('/'))
        list.erase(0, 1);
    if (!list.ends_with('/'))
        list += '/';
    std::vector<std::string> out;
    for (std::size_t from = 0; out.size() < kMaxFilterWords;) {
        const std::size_t slash = text::findChar(list, "/", from);
        if (slash == npos)
            break;
        out.push_back(list.substr(from, slash - from));
        from = slash + 1;
    }
    return out;
}

bool anyWordOccurs(const std::vector<std::string>& list, std::string_view field)
{
    for (const auto& w : list)
        if (!text::trimView(w).empty() && text::findChar(field, w) != npos)
            return true;
    return false;
}

// Replaces only the n-th (non-overlapping, exact) occurrence of 'old'.
void replaceNth(std::string& field, std::string_view old, std::string_view with, int n)
{
    if (old.empty())
        return;
    int seen = 0;
    for (std::size_t from = 0;;) {
        const std::size_t hit = text::findChar(field, old, from);
        if (hit == npos)
            return;
        if (++seen == n) {
            field.replace(hit, old.size(), with);
            return;
        }
        from = hit + old.size();
    }
}

// "head***tail": the span from the first head to the end of the first tail after it is
// what gets replaced, so one formula can remove a tag whatever its attributes.
void replaceSpan(std::string& field, std::string_view old, std::string_view with)
{
    const std::size_t star = text::findChar(old, "***");
    const std::string_view head = star == npos ? old : old.substr(0, star);
    const std::string_view tail = star == npos ? std::string_view{} : old.substr(star + 3);
    const std::size_t h = text::findNoCase(field, head);
    if (h == npos)
        return;
    const std::size_t t = text::findNoCase(field, tail, h + head.size());
    if (t == npos)
        return;
    const std::string span = field.substr(h, t + tail.size() - h);
    field = text::replaceAllNoCase(field, span, with);
}

} // namespace

// Cuts out the text from the first 'begin' through the first 'end', round after round,
// while both occur. An 'end' ahead of the first 'begin' closes a span that opened before the
// text: the text then starts after it, and within the rounds such a stray 'end' is deleted.
std::string RemoveSpans(std::string s, std::string_view begin, std::string_view end)
{
    // Without both marks there is no span; an empty mark would also never let the loops end.
    if (begin.empty() || end.empty())
        return s;
    std::size_t b = text::findChar(s, begin);
    std::size_t e = text::findChar(s, end);
    // An end mark before any begin mark closes a span opened before the text started.
    if (e != npos && (b == npos || e < b)) {
        s.erase(0, e + end.size());
        b = text::findChar(s, begin);
        e = text::findChar(s, end);
    }
    for (int round = 0; round < kMaxSpanRounds && b != npos && e != npos; ++round) {
        std::string next = s.substr(0, b);
        next.append(s, e + end.size());
        s = std::move(next);
        b = text::findChar(s, begin);
        e = text::findChar(s, end);
        // Stray end marks before the next span are dropped; with no begin left they stay.
        while (e != npos && b != npos && e < b) {
            s.erase(e, end.size());
            b = text::findChar(s, begin);
            e = text::findChar(s, end);
        }
    }
    return s;
}

FieldPostProcessor::FieldPostProcessor(PostSettings settings, RuleColumns columns)
    : settings_(std::move(settings)), columns_(std::move(columns))
{
}

std::string FieldPostProcessor::replaceInPage(std::string page) const
{
    const Words& w = words();
    for (const auto& item : settings_.replaceItems) {
        const std::size_t at = text::findChar(item, w.sourceFile);
        if (at == npos)
            continue;
        const std::string_view body = std::string_view(item).substr(at + w.sourceFile.size());
        const std::size_t cut = text::findChar(body, w.replaceWith);
        if (cut == npos)
            continue;
        // Trimmed before the line-break token is converted, so a formula can name a line break.
        const std::string old = store::markerToText(text::trimView(body.substr(0, cut)));
        const std::string with = store::markerToText(text::trimView(body.substr(cut + w.replaceWith.size())));
        page = text::replaceAllNoCase(page, old, with);
    }
    return page;
}

std::string FieldPostProcessor::cleanField(std::size_t ruleIndex, std::string value) const
{
    const bool keepHtml = ruleIndex < columns_.keepHtml.size() && columns_.keepHtml[ruleIndex] == words().yes;
    if (!keepHtml) {
        // In place: a value without the text is not copied (this runs for every field).
        for (std::string_view white : {"&nbsp;", "\t", "\n", "\r"})
            text::replaceAllNoCaseInPlace(value, white, " ");
        // Every run of two or more blanks holds a double blank; without one nothing changes.
        if (value.find("  ") != npos) {
            static const std::string blanks(10, ' ');
            for (std::size_t n = 10; n >= 2; --n)
                text::replaceAllInPlace(value, std::string_view(blanks).substr(0, n), " ");
        }
        for (const auto& item : settings_.clearList) {
            if (item == "#13")
                text::replaceAllInPlace(value, "\r", "");
            else if (item == "#13#10")
                text::replaceAllInPlace(value, "\r\n", "");
            else
                text::replaceAllInPlace(value, item, "");
        }
        text::replaceAllInPlace(value, "\t", "");  // every clear list also holds TAB
        if (settings_.useSect)
            text::replaceAllNoCaseInPlace(value, "<p>", "\r\n");
        value = RemoveSpans(std::move(value), "<script", "/script>");
        value = RemoveSpans(std::move(value), "<", ">");
    }
    // Article pages keep their HTML, but never their scripts.
    if (settings_.getNews && settings_.clearJavascript) {
        value = RemoveSpans(std::move(value), "<script", "/script>");
        value = RemoveSpans(std::move(value), "<Script", "/Script>");
        value = RemoveSpans(std::move(value), "<SCRIPT", "/SCRIPT>");
    }
    return value;
}

std::string FieldPostProcessor::completeByType(std::string value, std::string_view type, std::string_view pageBase)
{
    const Words& w = words();
    if (type != w.urlType && type != w.mediaType)
        return value;
    const std::string lower = text::toLower(value);
    if (lower.find("http://") != npos || lower.find("https://") != npos)
        return value;
    if (text::trimView(pageBase).empty())
        return value;
    std::string base(pageBase);
    const bool baseSlash = base.ends_with('/');
    const bool valueSlash = value.starts_with('/');
    if (!baseSlash && !valueSlash)
        base += '/';
    else if (baseSlash && valueSlash)
        base.pop_back();
    return base + value;
}

bool FieldPostProcessor::conditionHolds(std::string_view condition, std::string_view field) const
{
    const Words& w = words();
    if (text::findChar(condition, w.notEmpty) != npos)
        return !text::trimView(field).empty();
    const bool lower = !settings_.ruleCase;
    if (text::findChar(condition, w.notContaining) != npos)
        return !anyWordOccurs(slashWords(text::replaceAll(condition, w.notContaining, ""), lower), field);
    std::string list(condition);
    if (const std::size_t at = text::findNoCase(list, w.containing); at != npos)
        list.erase(at, w.containing.size());
    return anyWordOccurs(slashWords(std::move(list), lower), field);
}

bool FieldPostProcessor::passesFilter(const std::vector<std::string>& fields) const
{
    for (const auto& f : fields)
        if (static_cast<long long>(f.size()) > settings_.maxFieldLength)
            return false;
    for (const auto& item : settings_.filter) {
        const std::size_t open = text::findChar(item, "<");
        const std::size_t close = text::findChar(item, ">");
        if (open == npos || close == npos || close < open)
            continue;
        const std::size_t k = captionIndex(columns_.captions, std::string_view(item).substr(open + 1, close - open - 1));
        if (k == npos)
            continue;
        // A row cut short has no text in the missing fields.
        const std::string_view field = k - 1 < fields.size() ? std::string_view(fields[k - 1]) : std::string_view{};
        if (!conditionHolds(text::trimView(std::string_view(item).substr(close + 1)), field))
            return false;
    }
    return true;
}

std::size_t FieldPostProcessor::formulaTarget(const std::string& item, std::size_t fieldCount, std::size_t& eq) const
{
    // "[caption]=..." names an output caption at index k >= 1, which is field k - 1.
    eq = text::findChar(item, "=");
    if (eq == npos)
        return npos;
    const std::size_t k = captionIndex(columns_.outputCaptions, withoutBrackets(std::string_view(item).substr(0, eq)));
    if (k == npos || k == 0 || k > fieldCount)
        return npos;
    return k - 1;
}

void FieldPostProcessor::applyReplace(std::string_view rawItem, std::vector<std::string>& fields) const
{
    const Words& w = words();
    // A page replacement, done on the whole page before extraction.
    if (text::trimLeftView(rawItem).starts_with(w.sourceFile))
        return;
    const std::string item = store::markerToText(rawItem);
    std::size_t eq = 0;
    const std::size_t f = formulaTarget(item, fields.size(), eq);
    if (f == npos)
        return;
    std::string& field = fields[f];
    const std::string_view r = std::string_view(item).substr(eq + 1);
    const std::size_t cut = text::findChar(r, w.replaceWith);
    if (cut == npos) {
        field = std::string(r);
        return;
    }
    std::string_view old = r.substr(0, cut);
    const std::string_view with = r.substr(cut + w.replaceWith.size());
    const std::size_t open = text::findChar(old, "{");
    const std::size_t close = open == npos ? npos : text::findChar(old, "}", open + 1);
    int n = 0;
    if (close != npos && text::parseInt32(old.substr(open + 1, close - open - 1), n, false) && n >= 1) {
        replaceNth(field, old.substr(0, open), with, n);
    } else if (text::findChar(r, "***") != npos) {
        replaceSpan(field, old, with);
    } else {
        field = text::replaceAllNoCase(field, old, with);
    }
}

void FieldPostProcessor::applyUnion(std::string_view rawItem, std::vector<std::string>& fields) const
{
    std::string item = store::markerToText(rawItem);
    std::size_t eq = 0;
    const std::size_t f = formulaTarget(item, fields.size(), eq);
    if (f == npos)
        return;
    item += '+';
    std::string joined;
    for (std::size_t from = eq + 1;;) {
        const std::size_t plus = text::findChar(item, "+", from);
        if (plus == npos)
            break;
        const std::string_view part = std::string_view(item).substr(from, plus - from);
        from = plus + 1;
        if (text::findChar(part, "[") == npos || text::findChar(part, "]") == npos) {
            joined += part;
            continue;
        }
        // A linked address is a fetched page's address, never part of a composed value.
        const std::size_t c = captionIndex(columns_.outputCaptions, withoutBrackets(part));
        if (c != npos && c <= fields.size() && !(c < columns_.types.size() && columns_.types[c] == words().linkType))
            joined += fields[c - 1];
    }
    fields[f] = std::move(joined);
}

void FieldPostProcessor::applyFormulas(std::vector<std::string>& fields) const
{
    for (const auto& item : settings_.replaceItems)
        applyReplace(item, fields);
    for (const auto& item : settings_.unionItems)
        applyUnion(item, fields);
}

void FieldPostProcessor::applyFormulasToRows(std::vector<std::string>& rows) const
{
    if (settings_.replaceItems.empty() && settings_.unionItems.empty())
        return;
    forEachRow(rows, &FieldPostProcessor::applyFormulas);
}

void FieldPostProcessor::classifyRow(std::vector<std::string>& fields) const
{
    for (const auto& item : settings_.classItems) {
        const std::size_t eq = text::findChar(item, "=");
        if (eq == npos)
            continue;
        const std::size_t target = captionIndex(columns_.captions, innerText(text::trimView(std::string_view(item).substr(0, eq))));
        const std::string_view rest = text::trimLeftView(std::string_view(item).substr(eq + 1));
        if (target == npos || !rest.starts_with('['))
            continue;
        const std::size_t close = text::findChar(rest, "]", 1);
        if (close == npos)
            continue;
        const std::size_t origin = captionIndex(columns_.captions, rest.substr(1, close - 1));
        if (origin == npos || origin > fields.size() || target > fields.size())
            continue;
        const auto keywords = store::splitDelimited(store::markerToText(text::trimView(rest.substr(close + 1))), ',');
        std::string value = settings_.defaultClass;
        for (const auto& word : keywords) {
            if (!word.empty() && text::findChar(fields[origin - 1], word) != npos) {
                value = word;
                break;
            }
        }
        fields[target - 1] = std::move(value);
    }
}

void FieldPostProcessor::classifyRows(std::vector<std::string>& rows) const
{
    if (settings_.classItems.empty())
        return;
    forEachRow(rows, &FieldPostProcessor::classifyRow);
}

void FieldPostProcessor::forEachRow(std::vector<std::string>& rows, RowStep step) const
{
    for (auto& row : rows) {
        auto fields = store::splitDelimited(row, settings_.delimiter);
        const auto before = fields;
        (this->*step)(fields);
        // An untouched row keeps its exact text.
        if (fields != before)
            row = store::joinDelimited(fields, settings_.delimiter);
    }
}

} // namespace tarvimo::engine
