// `tarvimo-cli task ...`: read, write and inspect task files exactly as the program does,
// through the encrypted store with its plain fallback.
#include "app/cli.h"

#include "app/cli_parser.h"
#include "base/files.h"
#include "base/text.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/task_paths.h"
#include "store/task_schema.h"

#include <algorithm>
#include <memory>

namespace tarvimo::cli {
namespace {

using store::TEncryptInifile;

// GBK text as it goes to the terminal.
std::string shown(std::string_view gbk, bool raw) { return raw ? std::string(gbk) : text::gbkToUtf8(gbk); }

// Opens a task file that must exist and be readable; null (with a message) otherwise.
std::unique_ptr<TEncryptInifile> openExisting(const std::string& path, std::ostream& err)
{
    std::string probe;
    if (!files::tryReadAll(path, probe)) {
        err << "tarvimo-cli: cannot read " << path << "\n";
        return nullptr;
    }
    try {
        return std::make_unique<TEncryptInifile>(path);
    } catch (const store::StoreError& e) {
        err << "tarvimo-cli: " << e.what() << "\n";  // names the file and what is wrong
    } catch (const std::exception& e) {
        err << "tarvimo-cli: " << path << " is not a valid task file: " << e.what() << "\n";
    }
    return nullptr;
}

int decrypt(const ParsedCommand& o, std::ostream& out, std::ostream& err)
{
    auto ini = openExisting(o.arguments[0], err);
    if (!ini)
        return kFileError;
    std::string textGbk;
    if (ini->plainMode()) {
        textGbk = files::readAll(o.arguments[0]);
    } else {
        for (const auto& l : ini->lines())
            textGbk += l + "\r\n";
    }
    if (!o.has("raw"))
        textGbk = text::replaceAll(textGbk, "\r\n", "\n");
    out << shown(textGbk, o.has("raw"));
    return kOk;
}

int encrypt(const ParsedCommand& o, std::ostream& out, std::ostream& err)
{
    std::string plain;
    if (!files::tryReadAll(o.arguments[0], plain)) {
        err << "tarvimo-cli: cannot read " << o.arguments[0] << "\n";
        return kFileError;
    }
    // The input is INI text; a file the store takes for a container is refused, not
    // enciphered a second time.
    if (store::startsAsZlibStream(plain)) {
        err << "tarvimo-cli: " << o.arguments[0] << " already is an encrypted task file\n";
        return kFileError;
    }
    std::vector<std::string> lines = text::splitLines(plain);
    for (auto& l : lines)
        if (!text::trimView(l).empty())
            l = store::EncryptLine(l, store::storeKey());
    try {
        store::SaveCompressedLines(lines, o.arguments[1]);
    } catch (const std::exception& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        return kFileError;
    }
    out << "wrote " << o.arguments[1] << " (" << lines.size() << " lines)\n";
    return kOk;
}

int get(const ParsedCommand& o, std::ostream& out, std::ostream& err)
{
    auto ini = openExisting(o.arguments[0], err);
    if (!ini)
        return kFileError;
    out << shown(ini->ReadString(text::utf8ToGbk(o.arguments[1]), text::utf8ToGbk(o.arguments[2]), ""), o.has("raw"))
        << "\n";
    return kOk;
}

int set(const ParsedCommand& o, std::ostream& out, std::ostream& err)
{
    try {
        TEncryptInifile ini(o.arguments[0]);
        ini.WriteString(text::utf8ToGbk(o.arguments[1]), text::utf8ToGbk(o.arguments[2]),
                        text::utf8ToGbk(o.arguments[3]));
        ini.UpdateFile();
    } catch (const std::exception& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        return kFileError;
    }
    (void)out;
    return kOk;
}

const char* navigationKind(int t)
{
    switch (t) {
    case 0: return "URL导航";
    case 1: return "脚本导航";
    case 2: return "地址列表";
    default: return "unknown";
    }
}

const char* productKind(int t)
{
    switch (t) {
    case 0: return "企业名录";
    case 1: return "手机号";
    default: return "搜索";
    }
}

int show(const ParsedCommand& o, std::ostream& out, std::ostream& err)
{
    const std::string& path = o.arguments[0];
    auto ini = openExisting(path, err);
    if (!ini)
        return kFileError;
    namespace t = store::task;
    auto str = [&](const store::KeyDef& k) { return text::gbkToUtf8(store::readString(*ini, k)); };

    out << "File:      " << path << (ini->plainMode() ? " (plain INI)" : " (encrypted container)") << "\n";
    out << "Name:      " << text::gbkToUtf8(store::taskNameOf(path));
    if (auto n = str(t::taskname); !n.empty() && n != text::gbkToUtf8(store::taskNameOf(path)))
        out << " (taskname " << n << ")";
    out << "\n";
    const int nav = store::readInt(*ini, t::tasktypes);
    const int kind = store::readInt(*ini, t::taktype);
    out << "Kinds:     tasktypes " << nav << " (" << navigationKind(nav) << "), taktype " << kind << " ("
        << productKind(kind) << ")\n";
    if (auto v = str(t::taskmainurl); !v.empty())
        out << "Home page: " << v << "\n";

    out << "Addresses:\n";
    if (nav == 2) {
        out << "  list file:    " << str(t::listfile) << "\n";
        if (store::readBool(*ini, t::listanaly))
            out << "  analyse:      " << str(t::listAnalyfile) << "\n";
    } else {
        out << "  start:        " << str(t::urlbegin) << "\n";
        auto from = str(t::urlpagebegin), to = str(t::urlpageend);
        if (!from.empty() || !to.empty())
            out << "  pages:        " << from << " .. " << to << " step " << store::readInt(*ini, t::urlinc)
                << " (keyword " << str(t::urlkeyword) << ")\n";
        auto more = store::splitDelimited(store::readString(*ini, t::URLlist), ',');
        for (const auto& u : more)
            out << "  added:        " << text::gbkToUtf8(u) << "\n";
        auto gather = store::splitDelimited(store::readString(*ini, t::lb_urlgetword), ',');
        if (!gather.empty()) {
            out << "  gather words:";
            for (const auto& w : gather)
                out << " " << text::gbkToUtf8(w);
            out << "\n";
        }
    }

    const char d = store::ruleDelimiter(store::readString(*ini, t::ruleSplit));
    const store::KeyDef* cols[] = {&t::ruledata0, &t::ruledata1, &t::ruledata2,
                                   &t::ruledata3, &t::ruledata4, &t::ruledata5};
    std::vector<std::vector<std::string>> table;
    std::size_t rows = 0;
    for (const auto* c : cols) {
        table.push_back(store::splitDelimited(store::readString(*ini, *c), d));
        rows = std::max(rows, table.back().size());
    }
    out << "Rules (delimiter " << d << ", rowcount " << store::readInt(*ini, t::rowcount) << "):\n";
    for (std::size_t r = 0; r < rows; ++r) {
        bool empty = true;
        for (const auto& col : table)
            if (r < col.size() && !col[r].empty())
                empty = false;
        if (empty)
            continue;
        out << "  " << (r == 0 ? std::string("#") : std::to_string(r));
        for (const auto& col : table)
            out << " | " << (r < col.size() ? text::gbkToUtf8(col[r]) : std::string());
        out << "\n";
    }
    return kOk;
}

} // namespace

const CommandSpec& taskCommand()
{
    static const CommandSpec spec = [] {
        const OptionSpec& raw = kRawOption;
        const ArgumentSpec file{"FILE", "the task file"};
        const ArgumentSpec section{"SECTION", "the section's name"}, key{"KEY", "the key's name"};
        CommandSpec s;
        s.name = "task";
        s.summary = "read, write and inspect task files as the program does";
        s.arguments = {{"COMMAND", "the task command"}};
        s.commands = {
            {"task decrypt", "print a task file's INI text", {file}, {raw}, {}, {}},
            {"task encrypt", "turn a plain INI file into an encrypted task file",
             {{"IN", "the plain INI file"}, {"OUT", "the task file to write"}}, {}, {}, {}},
            {"task get", "print one value", {file, section, key}, {raw}, {}, "A missing key prints an empty line.\n"},
            {"task set", "write one value", {file, section, key, {"VALUE", "the new value"}}, {}, {}, {}},
            {"task show", "print a readable summary of a task", {file}, {}, {}, {}},
        };
        s.notes = "'tarvimo-cli task COMMAND --help' describes a command.\n";
        return s;
    }();
    return spec;
}

int runTask(const std::vector<std::string>& args, const std::string& /*home*/, std::ostream& out, std::ostream& err)
{
    const CommandSpec& group = taskCommand();
    int status = kOk;
    const auto line = parseOrReport(group, args, out, err, status);
    if (!line)
        return status;
    const std::string sub = line->arguments.front();
    const auto spec = std::ranges::find(group.commands, "task " + sub, &CommandSpec::name);
    if (spec == group.commands.end())
        return usageError(group, "unknown task command '" + sub + "'", err);
    const auto o = parseOrReport(*spec, {line->arguments.begin() + 1, line->arguments.end()}, out, err, status);
    if (!o)
        return status;
    try {
        if (sub == "decrypt")
            return decrypt(*o, out, err);
        if (sub == "encrypt")
            return encrypt(*o, out, err);
        if (sub == "get")
            return get(*o, out, err);
        if (sub == "set")
            return set(*o, out, err);
        if (sub == "show")
            return show(*o, out, err);
    } catch (const std::exception& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        return kFileError;
    }
    return usageError(group, "unknown task command '" + sub + "'", err);
}

} // namespace tarvimo::cli
