// Field post-processing of the extraction engine: the page replacement before extraction,
// the cleaning of each cut field, address completion, the row filter, the replace and
// union formulas and the automatic classification. All texts are GBK.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::engine {

// The task's post-processing settings, as read from the task file.
struct PostSettings {
    char delimiter = '^';                     // the rule delimiter D
    std::vector<std::string> clearList;       // ClearChar items (a TAB item is added by the processor)
    std::vector<std::string> filter;          // Filter items (D-delimited list, split)
    int maxFieldLength = 8000;                // xzzf
    std::vector<std::string> replaceItems;    // infoCalReplace items, item 0 is the "{替换公式}" header
    std::vector<std::string> unionItems;      // infoCalUnion items, item 0 is the "{合并公式}" header
    std::vector<std::string> classItems;      // autogetclass items, item 0 is the "{分类公式}" header
    std::string defaultClass;                 // outClassdefaultName
    bool useSect = false;                     // keep paragraphs: "<p>" becomes CR LF
    bool getNews = false;                     // UseGetNews
    bool clearJavascript = true;
    bool ruleCase = false;                    // markers and words case-sensitive
};

// The rule columns the processor needs, all index-aligned with the caption list:
// index 0 is the header ("序号" for captions), field k - 1 of a row belongs to caption k.
struct RuleColumns {
    std::vector<std::string> captions;        // rule captions, "序号" at 0
    std::vector<std::string> outputCaptions;  // captions with the URL and time captions
    std::vector<std::string> types;           // information type words
    std::vector<std::string> keepHtml;        // "是" keeps the field's HTML
};

// Removes every span from 'begin' to 'end' (see the algorithm in the .cpp); at most 2000
// rounds, so any input ends.
std::string RemoveSpans(std::string text, std::string_view begin, std::string_view end);

class FieldPostProcessor {
public:
    FieldPostProcessor() = default;
    FieldPostProcessor(PostSettings settings, RuleColumns columns);

    // Applies the "[源文件]=" items of the replace formulas to the whole page.
    std::string replaceInPage(std::string page) const;
    // Cleans a raw cut value of the rule at caption index 'ruleIndex'.
    std::string cleanField(std::size_t ruleIndex, std::string value) const;
    // Completes "URL类型"/"多媒体类型" values to absolute addresses with the page base address.
    static std::string completeByType(std::string value, std::string_view type, std::string_view pageBase);
    // The row filter: field length limit, then the filter items.
    bool passesFilter(const std::vector<std::string>& fields) const;
    // Replace formulas, then union formulas, on one row's fields.
    void applyFormulas(std::vector<std::string>& fields) const;
    // The same on rows whose fields are joined with D (store::joinDelimited); a row the
    // formulas leave unchanged keeps its text.
    void applyFormulasToRows(std::vector<std::string>& rows) const;
    // Classification on one row's fields, and on D-joined rows.
    void classifyRow(std::vector<std::string>& fields) const;
    void classifyRows(std::vector<std::string>& rows) const;

    const PostSettings& settings() const { return settings_; }
    const RuleColumns& columns() const { return columns_; }

private:
    using RowStep = void (FieldPostProcessor::*)(std::vector<std::string>&) const;

    bool conditionHolds(std::string_view condition, std::string_view field) const;
    // The field a formula item writes, or npos; 'eq' receives the position of its "=".
    std::size_t formulaTarget(const std::string& item, std::size_t fieldCount, std::size_t& eq) const;
    void applyReplace(std::string_view item, std::vector<std::string>& fields) const;
    void applyUnion(std::string_view item, std::vector<std::string>& fields) const;
    void forEachRow(std::vector<std::string>& rows, RowStep step) const;

    PostSettings settings_;
    RuleColumns columns_;
};

} // namespace tarvimo::engine
