// Plain task files with a rule table, written the way the program writes them.
#pragma once

#include "base/text.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"
#include "support/temp_dir.h"

#include <string>
#include <vector>

namespace tarvimo::test {

inline std::string g(const std::string& utf8) { return text::utf8ToGbk(utf8); }

// A rule row: caption, begin marker, end marker, type and whether the value keeps its HTML
// ("是"; all UTF-8 here).
struct Rule {
    std::string caption, begin, end, type, keepHtml = {};
};

// One more value of a task file: section, key, value (UTF-8).
struct Key {
    std::string section, key, value;
};

// Builds a plain task file with the rule table and further values.
class TaskFile {
public:
    TaskFile(TempDir& dir, std::vector<Rule> rules, std::vector<Key> extra = {}, std::string name = "t.tak")
        : path_(dir.file(name))
    {
        // Columns are written as the program writes delimited lists (quoted where needed).
        auto column = [&](const std::string& header, auto field) {
            std::vector<std::string> items{g(header)};
            for (const auto& r : rules)
                items.push_back(g(field(r)));
            items.emplace_back();
            return store::joinDelimited(items, '^');
        };
        std::string ini = g("[master]\r\ntaktype=2\r\n[rule]\r\nruleSplit=^\r\n");
        ini += "ruledata0=" + column("中文名称", [](const Rule& r) { return r.caption; }) + "\r\n";
        ini += "ruledata1=" + column("英文名称", [](const Rule&) { return std::string("Col"); }) + "\r\n";
        ini += "ruledata2=" + column("前标识符", [](const Rule& r) { return r.begin; }) + "\r\n";
        ini += "ruledata3=" + column("后标识符", [](const Rule& r) { return r.end; }) + "\r\n";
        ini += "ruledata4=" + column("信息类型", [](const Rule& r) { return r.type; }) + "\r\n";
        ini += "ruledata5=" + column("保留Html代码", [](const Rule& r) { return r.keepHtml; }) + "\r\n";
        ini += "[SuperSet]\r\nautogettime=0\r\n";
        writeFile(path_, ini);
        store::TIniFile file(path_);
        for (const auto& k : extra)
            file.WriteString(k.section, k.key, g(k.value));
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Turns a plain task file into the enciphered container holding the same lines.
inline void encryptInPlace(const std::string& path)
{
    std::vector<std::string> lines;
    for (auto& l : text::splitLines(readFile(path)))
        lines.push_back(text::trimView(l).empty() ? l : store::EncryptLine(l, store::storeKey()));
    store::SaveCompressedLines(lines, path);
}

} // namespace tarvimo::test
