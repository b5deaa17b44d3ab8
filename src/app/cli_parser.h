// One command-line parser for every tarvimo-cli command, so all of them take their
// options, report a wrong command line and print their help the same way. A command is
// described once (CommandSpec); its parsing, its help and its line in the overall usage
// all come from that description.
#pragma once

#include "app/cli.h"

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::cli {

struct OptionSpec {
    enum Kind { kFlag, kText, kNumber, kPositiveNumber };
    std::string name;  // the long name without its dashes
    Kind kind = kFlag;
    std::string valueName;  // how the usage names the value (FILE, N); none for a flag
    std::string description;
};

struct ArgumentSpec {
    std::string name;  // as the usage shows it: TASK, PAGE
    std::string description;
};

struct CommandSpec {
    std::string name;     // the words after tarvimo-cli ("run", "task get"); empty for tarvimo-cli itself
    std::string summary;  // one line, in the command's help and in the list of commands
    std::vector<ArgumentSpec> arguments;  // each required, in this order
    std::vector<OptionSpec> options;
    // Set for a command that hands over to another (tarvimo-cli itself, `task`): its
    // options come before the command word, everything from that word on is left to the
    // chosen command, and its help lists these commands.
    std::vector<CommandSpec> commands;
    std::string notes;  // closing lines of the help
    bool repeatLast = false;  // the last argument may be given more than once ("URL...")
};

// A command line that parsed: the positional values (for a command that hands over, the
// command word and everything after it) and the options given. Text is passed on byte
// for byte.
struct ParsedCommand {
    std::vector<std::string> arguments;
    std::map<std::string, std::string, std::less<>> values;  // a flag maps to ""
    std::map<std::string, int, std::less<>> numbers;         // the number options given

    bool has(std::string_view option) const { return values.contains(option); }
    std::string value(std::string_view option) const;  // "" when not given
    int number(std::string_view option) const;         // 0 when not given
};

struct ParseResult {
    enum Outcome { kParsed, kHelp, kError };
    Outcome outcome = kError;
    ParsedCommand command;  // when kParsed
    std::string error;      // when kError: what is wrong, one line
};

// Parses a command's arguments (the words after its name).
ParseResult parseArguments(const CommandSpec& spec, const std::vector<std::string>& args);

// "tarvimo-cli run TASK [--out FILE] ..."
std::string synopsis(const CommandSpec& spec);
// The help: the synopsis, the summary, the arguments (or commands) and the options.
std::string usageText(const CommandSpec& spec);

// Prints "tarvimo-cli: <message>" and the command's usage on 'err'; returns kUsage.
int usageError(const CommandSpec& spec, std::string_view message, std::ostream& err);

// Parses and answers --help and a wrong command line itself: the parsed command, or
// nothing with 'status' set to the exit status to return.
std::optional<ParsedCommand> parseOrReport(const CommandSpec& spec, const std::vector<std::string>& args,
                                           std::ostream& out, std::ostream& err, int& status);

// Pieces several commands share.
inline const OptionSpec kRawOption{"raw", OptionSpec::kFlag, "", "print the stored GBK bytes instead of UTF-8"};
inline const ArgumentSpec kTaskArgument{"TASK", "the task file"};

// Each command's description, defined beside its handler.
const CommandSpec& taskCommand();  // the group; its sub-commands in 'commands'
const CommandSpec& extractCommand();
const CommandSpec& urlsCommand();
const CommandSpec& runCommand();
const CommandSpec& searchCommand();
const CommandSpec& exportCommand();
const CommandSpec& daemonCommand();
const CommandSpec& scanCommand();

} // namespace tarvimo::cli
