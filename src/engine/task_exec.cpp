#include "engine/task_exec.h"

#include "base/text.h"
#include "engine/email_lookup.h"
#include "net/http_client.h"
#include "engine/page_text.h"
#include "engine/patterns.h"
#include "store/marker_text.h"
#include "store/settings.h"

#include <cstdint>
#include <unordered_map>
#include <map>

namespace tarvimo::engine {
namespace {

constexpr std::size_t npos = std::string::npos;

const std::string& gbkLiteral(const char* utf8)
{
    // Chinese words the engine compares with task text; converted once per word.
    static thread_local std::map<const char*, std::string> cache;
    auto it = cache.find(utf8);
    if (it == cache.end())
        it = cache.emplace(utf8, text::gbk(utf8)).first;
    return it->second;
}

// The task of an engine without one: nothing is extracted.
const Task& noTask()
{
    static const Task task = [] {
        Task t;
        t.rules.columns.captions = {text::gbk("序号")};
        t.rules.columns.outputCaptions = t.rules.columns.captions;
        t.rules.post = FieldPostProcessor(t.rules.settings, t.rules.columns);
        return t;
    }();
    return task;
}

const std::string& kConstant() { return gbkLiteral("常量"); }
const std::string& kRunNumber() { return gbkLiteral("运行次数"); }
const std::string& kLinked() { return gbkLiteral("关联地址类型"); }
const std::string& kPageLevel() { return gbkLiteral("附加类型"); }
const std::string& kEmailType() { return gbkLiteral("E-mail类型"); }

const std::string& at(const std::vector<std::string>& v, std::size_t i)
{
    static const std::string empty;
    return i < v.size() ? v[i] : empty;
}

// Plain split at every occurrence of a separator text.
std::vector<std::string> splitAt(std::string_view s, std::string_view sep)
{
    std::vector<std::string> parts;
    std::size_t b = 0;
    for (std::size_t p = text::findChar(s, sep); p != npos; p = text::findChar(s, sep, b)) {
        parts.emplace_back(s.substr(b, p - b));
        b = p + sep.size();
    }
    parts.emplace_back(s.substr(b));
    return parts;
}

// "E-mail类型" values keep only the address around their first "@".
std::string cutToEmail(const std::string& value)
{
    auto atPos = value.find('@');
    if (atPos == npos)
        return value;
    auto inAddress = [](char c) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    };
    std::size_t b = atPos, e = atPos + 1;
    while (b > 0 && inAddress(value[b - 1]))
        --b;
    while (e < value.size() && inAddress(value[e]))
        ++e;
    return text::toLower(std::string_view(value).substr(b, e - b));
}

} // namespace

// The working text: the page (lower-cased unless markers are case-sensitive) read from
// 'start' on. Cutting its front only moves 'start', so no field copies the rest of the page.
// Searches remember where each text was last found (or that it was absent): the loop asks
// for the same markers record after record, and without the memory a marker missing from
// the page would be searched for over the whole remaining page once per record.
struct TtaskExec::Work {
    std::string text;
    std::size_t start = 0;

    std::string_view view() const { return std::string_view(text).substr(start); }

    // Position relative to 'start', or npos.
    std::size_t find(const std::string& needle, std::size_t from = 0) const
    {
        const std::size_t s = start + from;
        bool fresh = false;
        Found& known = remembered(needle, fresh);
        if (!fresh && known.text != needle)
            fresh = true;  // another string now lives at that address
        if (!fresh && known.generation == generation && known.from <= s) {
            if (known.at == npos)
                return npos;
            if (known.at >= s)
                return known.at - start;
        }
        const std::size_t p = text::findChar(view(), needle, from);
        if (fresh)
            known.text = needle;
        known.from = s;
        known.at = p == npos ? npos : start + p;
        known.generation = generation;
        return p;
    }
    // Any change other than moving 'start' forward invalidates what the searches remember.
    void changed() { ++generation; }

private:
    struct Found {
        const std::string* needle = nullptr;
        std::string text;  // guards against another string at the same address
        std::size_t from = 0, at = 0;
        std::uint64_t generation = 0;
    };
    // A page usually asks for a few dozen texts, which a short list finds fastest; a task
    // may hold many thousands of rules, so past that an index by the marker string's
    // address keeps each lookup from growing with their number.
    static constexpr std::size_t kListedOnly = 32;

    Found& remembered(const std::string& needle, bool& fresh) const
    {
        if (index.empty()) {
            for (auto& f : memo)
                if (f.needle == &needle)
                    return f;
            if (memo.size() == kListedOnly) {
                index.reserve(2 * kListedOnly);
                for (std::size_t i = 0; i < memo.size(); ++i)
                    index.emplace(memo[i].needle, i);
            }
        } else if (auto it = index.find(&needle); it != index.end()) {
            return memo[it->second];
        }
        if (!index.empty())
            index.emplace(&needle, memo.size());
        fresh = true;
        Found& f = memo.emplace_back();
        f.needle = &needle;
        return f;
    }

    mutable std::vector<Found> memo;
    mutable std::unordered_map<const std::string*, std::size_t> index;  // once memo is long
    std::uint64_t generation = 0;
};

// The prepared begin and end markers of a rule, one pair per alternative.
struct TtaskExec::Markers {
    std::vector<std::pair<std::string, std::string>> alts;
    std::string begin() const { return alts.empty() ? std::string() : alts[0].first; }
};

struct TtaskExec::Cut {
    bool found = false;
    std::string value;       // raw text between the markers
    std::size_t endAbs = 0;  // index in Work::text of the end marker that closed the value
};

TtaskExec::TtaskExec(RunState& state, const Environment& env)
    : state_(state), env_(env), patterns_(std::make_unique<PatternSet>()),
      email_(std::make_unique<Txbemail>(env.catalogue.value("SearchEngine", "host"),
                                        env.catalogue.value("SearchEngine", "partner"))),
      homeTokens_{text::toLower(env.catalogue.value("HomePage", "token1")),
                  text::toLower(env.catalogue.value("HomePage", "token2"))},
      t_(&noTask())
{
    const auto lookup = store::settings::readEmailLookupSettings(env.settingsPath);
    setEmailLookup(lookup.getEmail, lookup.emailFromName);
}

TtaskExec::~TtaskExec() = default;

void TtaskExec::setEmailLookup(bool getEmail, bool fromName)
{
    getEmail_ = getEmail;
    emailFromName_ = fromName;
}

void TtaskExec::cancel()
{
    if (auto* c = activeConnection_.load())
        c->cancel();
    email_->cancel();
}

std::string TtaskExec::scanMobiles(std::string_view text) const { return patterns_->mobiles(text); }
std::string TtaskExec::scanEmails(std::string_view text) const { return patterns_->emails(text); }

void TtaskExec::setTask(TaskPtr task)
{
    task_ = std::move(task);
    t_ = task_ ? task_.get() : &noTask();
}

std::string TtaskExec::prepare(std::string_view marker, bool pageHasCrLf) const
{
    std::string m(marker);
    if (!t_->rules.settings.ruleCase)
        text::toLowerInPlace(m);
    if (m.find(store::kLineBreakToken) == npos)
        return text::trim(m);
    m = text::trim(text::replaceAll(m, store::kLineBreakToken, "\r\n"));
    if (m.starts_with("\r\n"))
        m.erase(0, 2);
    if (!pageHasCrLf)
        m = text::replaceAll(m, "\r\n", "\n");
    return m;
}

TtaskExec::Markers TtaskExec::markersOf(std::size_t rule, bool pageHasCrLf) const
{
    static const std::string sep = "%%%";
    Markers m;
    const std::string& b = at(t_->rules.begins, rule);
    const std::string& e = at(t_->rules.ends, rule);
    if (b.find(sep) != npos && e.find(sep) != npos) {
        auto bs = splitAt(b, sep), es = splitAt(e, sep);
        if (bs.size() == es.size()) {
            for (std::size_t i = 0; i < bs.size(); ++i)
                m.alts.emplace_back(prepare(bs[i], pageHasCrLf), prepare(es[i], pageHasCrLf));
            return m;
        }
    }
    m.alts.emplace_back(prepare(b, pageHasCrLf), prepare(e, pageHasCrLf));
    return m;
}

std::vector<TtaskExec::Markers> TtaskExec::pageMarkers(bool pageHasCrLf) const
{
    // Prepared once per page: preparing depends on the page (line ends) but not on the record.
    std::vector<Markers> marks(t_->rules.columns.captions.size());
    for (std::size_t s = 1; s + 1 < marks.size(); ++s)
        marks[s] = markersOf(s, pageHasCrLf);
    return marks;
}

TtaskExec::Cut TtaskExec::cutField(Work& w, const Markers& m, std::size_t /*rule*/, bool tryAlternatives,
                                   bool autoMid) const
{
    const std::size_t count = tryAlternatives ? m.alts.size() : std::min<std::size_t>(1, m.alts.size());
    for (std::size_t a = 0; a < count; ++a) {
        const std::string& B = m.alts[a].first;
        const std::string& E = m.alts[a].second;
        std::size_t from = 0;  // without ruleAutoMid the field alone reads from a later point
        std::size_t b = w.find(B), e = w.find(E);
        if (b != npos && e != npos && e < b) {
            if (autoMid)
                w.start += b;
            else
                from = b;
            b = w.find(B, from);
            e = w.find(E, from);
        }
        if (b == npos || e == npos)
            continue;
        const std::size_t valueBegin = b + B.size();
        std::size_t valueEnd = e;
        // An end marker inside the begin marker would always be found at the begin marker.
        if (B.find(E) != npos) {
            valueEnd = w.find(E, valueBegin);
            if (valueEnd == npos)
                continue;
        }
        Cut c;
        c.found = true;
        if (valueEnd > valueBegin)
            c.value.assign(w.view().substr(valueBegin, valueEnd - valueBegin));
        c.endAbs = w.start + valueEnd;
        return c;
    }
    return Cut{false, " ", w.start};
}

std::string TtaskExec::finishValue(std::size_t rule, std::string value) const
{
    value = t_->rules.post.cleanField(rule, std::move(value));
    // The clear list usually deletes ":", which would break every address.
    text::replaceAllInPlace(value, "http//", "http://");
    text::replaceAllInPlace(value, "https//", "https://");
    const std::string& type = at(t_->rules.columns.types, rule);
    value = FieldPostProcessor::completeByType(std::move(value), type, pageBase_);
    if (type == kEmailType())
        value = cutToEmail(value);
    return text::trim(value);
}

std::string TtaskExec::runNumber(std::size_t rule)
{
    if (state_.restarted)
        return std::to_string(state_.runCounter.load());
    const std::string& t = at(t_->rules.begins, rule);
    int n = 1;
    if (!text::parseInt32(t, n, false))
        n = 1;
    state_.runCounter = n;
    return t;
}

std::string TtaskExec::timeText() const
{
    return env_.now();
}

std::string TtaskExec::fetchLinked(const std::string& address, net::HttpClient* connection)
{
    activeConnection_ = connection;
    net::HttpResult r = connection->get(address);
    activeConnection_ = nullptr;
    if (!r.success()) {
        // A failed linked page is skipped; the hard close gives the next request a clean start.
        connection->disconnectSocket();
        return {};
    }
    std::string page = convertPage(std::move(r.body), t_->config.autogetCharType, state_.charType);
    if (!t_->rules.settings.ruleCase)
        text::toLowerInPlace(page);
    return page;
}

void TtaskExec::completeRow(Row& row, const std::string& pageAddress) const
{
    if (t_->rules.saveUrl)
        row.push_back(pageAddress);
    if (t_->rules.autoTime)
        row.push_back(timeText());
}

bool TtaskExec::onlyConstants(const Row& row, const std::string& constants) const
{
    std::string joined;
    for (const auto& f : row)
        for (char c : f)
            if (c != t_->rules.settings.delimiter && c != '"')
                joined += c;
    return text::trimView(joined) == constants;
}

// Order of the steps for one page:
//   1. page replacement ("[源文件]=" formulas) on the whole page;
//   2. the rows of the page's mode: the whole page, the split pieces, the single record,
//      or the loop records (each record completed with URL and time, filtered, and for
//      taktype 0 given the page's e-mail scan), then the trailing page-level values;
//   3. on every row: replace formulas, union formulas, classification; for loop records
//      also the home-page step and the e-mail lookup;
//   4. every row is handed over, one hand-over per row, in page order.
std::vector<Row> TtaskExec::extractPage(std::string page, net::HttpClient* connection, const std::string& pageAddress)
{
    if (!task_)
        return {};
    pageBase_ = pageBaseUrl(pageAddress, t_->config.autogetmainURL, t_->config.getmainURL);
    page = t_->rules.post.replaceInPage(std::move(page));

    std::vector<Row> rows;
    bool loopMode = false;
    if (t_->rules.wholePage) {
        rows = wholePage(page, pageAddress);
    } else if (!t_->rules.loop) {
        rows = singleRecord(page, connection, pageAddress);
    } else {
        rows = loopRecords(page, connection, pageAddress);
        loopMode = true;
    }
    postProcess(rows, loopMode);
    if (handOver_)
        for (const auto& r : rows)
            handOver_(r);
    return rows;
}

std::vector<Row> TtaskExec::wholePage(const std::string& page, const std::string& pageAddress)
{
    Row row{page};
    completeRow(row, pageAddress);
    return {row};
}

std::vector<Row> TtaskExec::singleRecord(const std::string& page, net::HttpClient* connection,
                                         const std::string& pageAddress)
{
    const bool crlf = page.find("\r\n") != npos;
    Work w;
    w.text = t_->rules.settings.ruleCase ? page : text::toLower(page);
    if (t_->rules.midCut && !t_->rules.midMarker.empty())
        if (auto p = w.find(t_->rules.midMarker); p != npos)
            w.start += p;

    Row fields;
    std::string constants;
    const std::size_t n = t_->rules.columns.captions.size();
    const std::vector<Markers> marks = pageMarkers(crlf);
    for (std::size_t s = 1; s + 1 < n; ++s) {
        const std::string& type = at(t_->rules.columns.types, s);
        if (type == kConstant()) {
            std::string v = prepare(at(t_->rules.begins, s), crlf);
            constants += v;
            fields.push_back(std::move(v));
            continue;
        }
        if (type == kRunNumber()) {
            fields.push_back(runNumber(s));
            continue;
        }
        Cut c = cutField(w, marks[s], s, true, t_->rules.autoMid);
        fields.push_back(c.found ? finishValue(s, std::move(c.value)) : std::string(" "));
        if (t_->rules.autoMid && c.found)
            w.start = c.endAbs;
        if (type == kLinked() && c.found && !text::trimView(fields.back()).empty()) {
            static const std::string urlType = text::gbk("URL类型");
            std::string address = FieldPostProcessor::completeByType(fields.back(), urlType, pageBase_);
            if (hasWebScheme(address) && connection) {
                fields.back() = address;
                t_->rules.post.applyFormulas(fields);
                w.text += fetchLinked(address, connection);
                w.changed();
            }
        }
    }
    completeRow(fields, pageAddress);
    if (onlyConstants(fields, constants) || !t_->rules.post.passesFilter(fields))
        return {};
    if (t_->config.taktype == 0)
        fields.push_back(scanEmails(page));
    return {fields};
}

std::string TtaskExec::completeLinkedAddress(std::string value) const
{
    if (!hasWebScheme(value)) {
        if (env_.catalogue.matches("D1", t_->config.urlbegin))
            value = "http://" + value + env_.catalogue.value("D1", "companysuffix");
        else if (env_.catalogue.matches("D5", t_->config.urlbegin))
            value = env_.catalogue.baseUrl("D5") + value;
    }
    if (env_.catalogue.matches("D4", value))
        if (auto p = value.find("winport/"); p != npos)
            value.replace(p, 8, "winport/company/");
    if (env_.catalogue.matches("D10", value))
        value += "contact";
    return value;
}

std::vector<Row> TtaskExec::loopRecords(const std::string& page, net::HttpClient* connection,
                                        const std::string& pageAddress)
{
    const bool crlf = page.find("\r\n") != npos;
    const std::size_t n = t_->rules.columns.captions.size();
    const std::size_t last = n >= 2 ? n - 2 : 0;  // rules proper are 1 .. n - 2
    auto typeOf = [&](std::size_t s) -> const std::string& { return at(t_->rules.columns.types, s); };

    // The blocks: leading page-level rules, the loop block, trailing page-level rules.
    std::size_t firstPageLevel = 0;
    for (std::size_t s = 1; s <= last; ++s)
        if (typeOf(s) == kPageLevel()) {
            firstPageLevel = s;
            break;
        }
    std::size_t leadEnd = 1, loopBegin = 1, loopEnd = last, trailBegin = last + 1;
    if (firstPageLevel >= 2) {
        loopEnd = firstPageLevel - 1;
        trailBegin = firstPageLevel;
    } else {
        while (leadEnd <= last && typeOf(leadEnd) == kPageLevel())
            ++leadEnd;
        loopBegin = leadEnd;
        for (std::size_t s = loopBegin; s <= last; ++s)
            if (typeOf(s) == kPageLevel()) {
                loopEnd = s - 1;
                trailBegin = s + 1;  // the page-level rule that ends the block is skipped
                break;
            }
    }

    Work w;
    w.text = t_->rules.settings.ruleCase ? page : text::toLower(page);
    if (t_->rules.midCut && !t_->rules.midMarker.empty())
        if (auto p = w.find(t_->rules.midMarker); p != npos)
            w.start += p;

    const std::vector<Markers> marks = pageMarkers(crlf);
    auto pageLevelValue = [&](std::size_t s) {
        const Markers& m = marks[s];
        const auto& [B, E] = m.alts[0];
        if (B == E && !B.empty()) {
            // Same text for both markers: the value lies between its first and last occurrence.
            auto first = w.find(B);
            if (first == npos)
                return std::string(" ");
            const std::string_view v = w.view();
            std::size_t lastAt = first;
            for (auto p = w.find(B, first + B.size()); p != npos; p = w.find(B, p + B.size()))
                lastAt = p;
            if (lastAt == first)
                return std::string(" ");
            std::string value = finishValue(s, std::string(v.substr(first + B.size(), lastAt - first - B.size())));
            if (t_->rules.autoMid)
                w.start += lastAt;
            return value;
        }
        Cut c = cutField(w, m, s, false, t_->rules.autoMid);
        if (!c.found)
            return std::string(" ");
        if (t_->rules.autoMid)
            w.start = c.endAbs;
        return finishValue(s, std::move(c.value));
    };

    // Leading page-level rules form a prefix of every record.
    Row prefix;
    for (std::size_t s = 1; s < leadEnd && s <= last; ++s)
        prefix.push_back(pageLevelValue(s));

    // The loop area.
    if (!text::trimView(t_->rules.loopFront).empty()) {
        auto p = w.find(t_->rules.loopFront);
        std::size_t skip = (p == npos ? 0 : p) + t_->rules.loopFront.size();
        skip = std::min(skip, w.view().size());
        if (skip < w.view().size())
            skip += text::charLen(w.view(), skip);
        w.start += std::min(skip, w.view().size());
    }
    if (!text::trimView(t_->rules.loopHind).empty()) {
        auto p = w.find(t_->rules.loopHind);
        w.text.resize(p == npos ? w.start : w.start + p);
        w.changed();
    }

    std::vector<Row> rows;

    // Split mode: every piece between loop words is a row of one field.
    if (last >= 1 && !t_->rules.loopWord.empty() && at(t_->rules.begins, 1) == at(t_->rules.ends, 1) && at(t_->rules.begins, 1) == t_->rules.loopWordStored) {
        std::string area = text::replaceAllNoCase(text::trimView(w.view()), t_->rules.loopWord, "^");
        for (auto& piece : splitAt(area, std::string(1, t_->rules.settings.delimiter))) {
            Row row{piece};
            completeRow(row, pageAddress);
            rows.push_back(std::move(row));
        }
    } else if (!t_->rules.loopWord.empty() && loopBegin <= loopEnd) {
        const bool firstIsConstant = typeOf(loopBegin) == kConstant();
        // The page's e-mail scan (or the last linked page's) is the same for every record
        // until another linked page arrives, so it is scanned once per source.
        const std::string* emailSource = &page;
        std::string linkedSource, emailScan;
        bool emailScanned = false;
        std::size_t prevStart = npos, prevSize = npos;
        while (w.find(t_->rules.loopWord) != npos) {
            Row record = prefix;
            if (!firstIsConstant) {
                const auto& [B, E] = marks[loopBegin].alts[0];
                std::size_t L = w.find(t_->rules.loopWord), b = w.find(B);
                if (b == npos && w.find(E) == npos)
                    break;
                for (int i = 0; i < 500 && L != npos && (b == npos || b <= L) && L > 0; ++i) {
                    w.start += L;
                    L = w.find(t_->rules.loopWord);
                    b = w.find(B);
                }
                for (int i = 0; i < 500 && L != npos && b != npos && L < b; ++i) {
                    w.start += b;
                    L = w.find(t_->rules.loopWord);
                    b = w.find(B);
                }
            }
            for (std::size_t s = loopBegin; s <= loopEnd; ++s) {
                const std::string& type = typeOf(s);
                if (type == kConstant()) {
                    const std::string& marker = at(t_->rules.begins, s);
                    if (marker.find(gbkLiteral("手机")) != npos)
                        record.push_back(scanMobiles(w.view()));
                    if (marker.find(gbkLiteral("邮箱")) != npos)
                        record.push_back(scanEmails(w.view()));
                    continue;
                }
                if (type == kRunNumber()) {
                    record.push_back(runNumber(s));
                    continue;
                }
                const Markers& m = marks[s];
                const auto& [B, E] = m.alts[0];
                const std::size_t L = w.find(t_->rules.loopWord);
                const std::size_t b = w.find(B), e = w.find(E);
                const bool inside = L == npos || (b < L && e < L);
                if (b == npos || e == npos || !inside) {
                    record.emplace_back(" ");
                    continue;
                }
                Cut c = cutField(w, m, s, false, t_->rules.autoMid);
                record.push_back(c.found ? finishValue(s, std::move(c.value)) : std::string(" "));
                if (c.found)
                    w.start = c.endAbs;
                if (type == kLinked() && c.found) {
                    std::string address = completeLinkedAddress(record.back());
                    record.back() = address;
                    if (hasWebScheme(address) && connection) {
                        std::string linked = fetchLinked(address, connection);
                        if (!linked.empty()) {
                            const std::size_t next = w.find(t_->rules.loopWord);
                            w.text.insert(next == npos ? w.text.size() : w.start + next, linked);
                            w.changed();
                            linkedSource = std::move(linked);
                            emailSource = &linkedSource;
                            emailScanned = false;
                        }
                    }
                }
            }
            // Article and media downloads of the record follow in its fetcher, per record.
            completeRow(record, pageAddress);
            // A record that moved the working text no further would repeat forever.
            if (w.start == prevStart && w.text.size() == prevSize)
                break;
            prevStart = w.start;
            prevSize = w.text.size();
            if (!t_->rules.post.passesFilter(record))
                continue;
            if (t_->config.taktype == 0) {
                if (!emailScanned)
                    emailScan = scanEmails(*emailSource);
                emailScanned = true;
                record.push_back(emailScan);
            }
            rows.push_back(std::move(record));
        }
    }

    // Trailing page-level rules: one value each, appended to every row.
    for (std::size_t s = trailBegin; s <= last; ++s) {
        std::string v = pageLevelValue(s);
        if (text::trimView(v).empty())
            v = " ";
        for (auto& r : rows)
            r.push_back(v);
    }
    return rows;
}

void TtaskExec::homePageAndEmail(Row& row)
{
    std::string homePage;
    if (row.size() > 8) {
        // Entries pointing at the directory itself or at the big trade portal are no home page.
        const std::string& t1 = homeTokens_[0];
        const std::string& t2 = homeTokens_[1];
        std::vector<std::string> kept;
        for (auto& entry : splitAt(text::replaceAll(row[8], "  ", ","), ",")) {
            const std::string lower = text::toLower(entry);
            if ((!t1.empty() && lower.find(t1) != npos) || (!t2.empty() && lower.find(t2) != npos))
                continue;
            kept.push_back(std::move(entry));
        }
        if (!kept.empty())
            homePage = kept.front();
        std::string joined;
        for (std::size_t i = 0; i < kept.size(); ++i)
            joined += (i ? "," : "") + kept[i];
        row[8] = joined;
    }
    if (!getEmail_)
        return;
    bool ran = false;
    std::string found;
    if (emailFromName_) {
        if (!row.empty()) {
            found = email_->Lookup(row[0]);
            ran = true;
        }
    } else if (row.size() > 8) {
        found = email_->Lookup(homePage);
        ran = true;
    }
    if (ran && row.size() > 5)
        row[5] = found;
}

void TtaskExec::postProcess(std::vector<Row>& rows, bool loopMode)
{
    for (auto& row : rows) {
        // A malformed formula or class item abandons that step for the row only.
        try {
            t_->rules.post.applyFormulas(row);
        } catch (const std::exception&) {
        }
        try {
            t_->rules.post.classifyRow(row);
        } catch (const std::exception&) {
        }
        if (loopMode)
            homePageAndEmail(row);
    }
}

} // namespace tarvimo::engine
