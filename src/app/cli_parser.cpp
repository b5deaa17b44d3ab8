#include "app/cli_parser.h"

#include "base/text.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cctype>

namespace tarvimo::cli {
namespace {

// Arguments travel through Qt as Latin-1 so every byte comes back unchanged: a file name
// need not be UTF-8, and text values are converted where they are used, as always.
// Option names are ASCII, so they match all the same.
QString toCarrier(std::string_view bytes) { return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())); }

std::string fromCarrier(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// A word such as -1 is a value (a task value may be negative), never an option: no option
// name starts with a digit. Such words are marked so Qt takes them as plain words; a word
// that starts with the mark itself is marked too, so unmarking is exact.
constexpr char kMark = '\x01';

QString carried(const std::string& arg)
{
    const bool negative = arg.size() > 1 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
    if (negative || (!arg.empty() && arg[0] == kMark))
        return toCarrier(std::string(1, kMark) + arg);
    return toCarrier(arg);
}

std::string restored(const QString& s)
{
    std::string bytes = fromCarrier(s);
    if (!bytes.empty() && bytes[0] == kMark)
        bytes.erase(0, 1);
    return bytes;
}

// The word that named an unknown option, as typed ("--bogus", "-x=1" gives "-x").
std::string typedOption(const std::vector<std::string>& args, const std::string& name)
{
    for (const auto& a : args) {
        if (a == "--")
            break;
        const std::string word = a.substr(0, a.find('='));
        if (word == "--" + name || word == "-" + name)
            return word;
    }
    return "--" + name;
}

std::string optionWords(const OptionSpec& o) { return "--" + o.name + (o.valueName.empty() ? "" : " " + o.valueName); }

// Two columns: the left one padded to 'width', a longer entry puts its text on the next line.
void row(std::string& to, const std::string& left, const std::string& right, std::size_t width)
{
    to += "  " + left;
    if (left.size() + 2 > width)
        to += "\n" + std::string(width + 2, ' ');
    else
        to += std::string(width - left.size(), ' ');
    to += right + "\n";
}

} // namespace

std::string ParsedCommand::value(std::string_view option) const
{
    const auto it = values.find(option);
    return it == values.end() ? std::string() : it->second;
}

int ParsedCommand::number(std::string_view option) const
{
    const auto it = numbers.find(option);
    return it == numbers.end() ? 0 : it->second;
}

ParseResult parseArguments(const CommandSpec& spec, const std::vector<std::string>& args)
{
    const bool handsOver = !spec.commands.empty();
    QCommandLineParser parser;
    // "-raw" reads as "--raw"; no command has one-letter options to combine.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (handsOver)
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    for (const auto& o : spec.options)
        parser.addOption(QCommandLineOption(QString::fromStdString(o.name), QString(), QString::fromStdString(o.valueName)));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);

    QStringList words{QStringLiteral("tarvimo-cli")};  // parse() skips the program name
    for (const auto& a : args)
        words << carried(a);

    ParseResult r;
    if (!parser.parse(words)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            r.error = "unknown option " + typedOption(args, fromCarrier(unknown.front()));
        } else {
            // Qt's own sentence ("Missing value after '--out'."), as one line of ours.
            std::string what = fromCarrier(parser.errorText());
            if (!what.empty())
                what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
            if (what.ends_with('.'))
                what.pop_back();
            r.error = what;
        }
        return r;
    }
    if (parser.isSet(help)) {
        r.outcome = ParseResult::kHelp;
        return r;
    }

    ParsedCommand& c = r.command;
    for (const auto& o : spec.options) {
        const QString name = QString::fromStdString(o.name);
        if (!parser.isSet(name))
            continue;
        const std::string v = restored(parser.value(name));
        if (o.kind == OptionSpec::kNumber || o.kind == OptionSpec::kPositiveNumber) {
            int n = 0;
            const bool positive = o.kind == OptionSpec::kPositiveNumber;
            if (!text::parseInt32(v, n, false) || (positive && n < 1)) {
                r.error = "--" + o.name + (positive ? " needs a positive number" : " needs a number");
                return r;
            }
            c.numbers[o.name] = n;
        }
        c.values[o.name] = v;
    }
    for (const auto& p : parser.positionalArguments())
        c.arguments.push_back(restored(p));

    const std::size_t wanted = spec.arguments.size();
    if (c.arguments.size() < wanted) {
        r.error = "missing";
        for (std::size_t i = c.arguments.size(); i < wanted; ++i)
            r.error += " " + spec.arguments[i].name;
        return r;
    }
    if (c.arguments.size() > wanted && !handsOver && !spec.repeatLast) {
        r.error = "unexpected argument '" + c.arguments[wanted] + "'";
        return r;
    }
    r.outcome = ParseResult::kParsed;
    return r;
}

std::string synopsis(const CommandSpec& spec)
{
    std::string s = "tarvimo-cli";
    if (!spec.name.empty())
        s += " " + spec.name;
    std::string options, arguments;
    for (const auto& o : spec.options)
        options += " [" + optionWords(o) + "]";
    for (const auto& a : spec.arguments)
        arguments += " " + a.name;
    if (!spec.commands.empty())
        return s + options + arguments + " ...";
    return s + arguments + options;
}

std::string usageText(const CommandSpec& spec)
{
    std::string t = "usage: " + synopsis(spec) + "\n";
    if (!spec.summary.empty())
        t += spec.summary + "\n";
    if (!spec.commands.empty()) {
        // The list keeps the column of the overall usage, wide enough for most synopses.
        t += "commands:\n";
        const std::string program = "tarvimo-cli ";
        for (const auto& c : spec.commands)
            row(t, synopsis(c).substr(program.size()), c.summary, 37);
    } else if (!spec.arguments.empty()) {
        t += "arguments:\n";
    }
    // Arguments and options share one column, as wide as the widest of them.
    std::size_t width = std::string("-h, --help").size();
    for (const auto& a : spec.arguments)
        width = std::max(width, a.name.size());
    for (const auto& o : spec.options)
        width = std::max(width, optionWords(o).size());
    width += 3;
    if (spec.commands.empty())
        for (const auto& a : spec.arguments)
            row(t, a.name, a.description, width);
    t += "options:\n";
    for (const auto& o : spec.options)
        row(t, optionWords(o), o.description, width);
    row(t, "-h, --help", "print this help", width);
    t += spec.notes;
    return t;
}

int usageError(const CommandSpec& spec, std::string_view message, std::ostream& err)
{
    err << "tarvimo-cli: " << message << "\n" << usageText(spec);
    return kUsage;
}

std::optional<ParsedCommand> parseOrReport(const CommandSpec& spec, const std::vector<std::string>& args,
                                           std::ostream& out, std::ostream& err, int& status)
{
    ParseResult r = parseArguments(spec, args);
    switch (r.outcome) {
    case ParseResult::kParsed:
        status = kOk;
        return std::move(r.command);
    case ParseResult::kHelp:
        out << usageText(spec);
        status = kOk;
        return std::nullopt;
    case ParseResult::kError:
        break;
    }
    status = usageError(spec, r.error, err);
    return std::nullopt;
}

} // namespace tarvimo::cli
