// Span removal and the field post-processing that task authors steer with their own
// formula, filter and classification texts: any input ends, stays in bounds and never
// throws. The input is "text\0begin\0end"; begin and end, cut into lines, also serve as
// the formula, filter and classification items over rows cut from the text.
#include "base/text.h"
#include "engine/postprocess.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace tarvimo;

namespace {

const engine::RuleColumns& columns()
{
    static const engine::RuleColumns c = [] {
        engine::RuleColumns r;
        r.captions = {text::gbk("序号"), "a", "b", text::gbk("癩皚"), "c", ""};
        r.outputCaptions = r.captions;
        r.outputCaptions.back() = "URL";
        r.types = {"", "", text::gbk("关联地址类型"), "", text::gbk("URL类型")};  // one short on purpose
        r.keepHtml = {"", text::gbk("是")};
        return r;
    }();
    return c;
}

std::string_view nextPart(std::string_view& rest)
{
    const std::size_t z = rest.find('\0');
    const std::string_view part = rest.substr(0, z);
    rest = z == std::string_view::npos ? std::string_view{} : rest.substr(z + 1);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view body = nextPart(rest);
    const std::string_view begin = nextPart(rest);
    const std::string_view end = rest;

    const std::string out = engine::RemoveSpans(std::string(body), begin, end);
    // Only the first round can add text (the part between an early end and the begin), once.
    if (out.size() > 2 * body.size())
        __builtin_trap();

    std::vector<std::string> items = text::splitLines(begin);
    for (auto& line : text::splitLines(end))
        items.push_back(std::move(line));
    engine::PostSettings s;
    s.clearList = items;
    s.filter = items;
    s.replaceItems = items;
    s.unionItems = items;
    s.classItems = items;
    s.maxFieldLength = static_cast<int>(size % 64);
    s.useSect = size % 2 == 0;
    s.getNews = size % 3 == 0;
    s.ruleCase = size % 5 == 0;
    const engine::FieldPostProcessor proc(s, columns());

    for (std::size_t rule = 0; rule < 3; ++rule)
        (void)proc.cleanField(rule, std::string(body));
    (void)proc.replaceInPage(std::string(body));
    (void)engine::FieldPostProcessor::completeByType(std::string(body), columns().types[4], begin);

    std::vector<std::string> fields = text::splitLines(body);
    (void)proc.passesFilter(fields);
    proc.applyFormulas(fields);
    proc.classifyRow(fields);
    std::vector<std::string> rows = fields;
    rows.emplace_back(body);
    proc.applyFormulasToRows(rows);
    proc.classifyRows(rows);
    return 0;
}
