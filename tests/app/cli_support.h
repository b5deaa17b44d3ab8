// Runs tarvimo-cli commands in-process against a home folder of their own.
#pragma once

#include "app/cli.h"
#include "base/text.h"
#include "support/temp_dir.h"

#include <sstream>
#include <string>
#include <vector>

namespace tarvimo::test {

struct CliResult {
    int status;
    std::string out, err;
};

// `tarvimo-cli ARGS...`
inline CliResult runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

// `tarvimo-cli --home HOME COMMAND ARGS...`
inline CliResult runCommandLine(const std::string& home, const std::string& command, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--home", home, command});
    return runCli(args);
}

// Writes a task file from UTF-8 INI text (stored as GBK) and returns its path.
inline std::string writeTask(const TempDir& dir, const std::string& name, const std::string& utf8Ini)
{
    writeFile(dir.file(name), text::utf8ToGbk(utf8Ini));
    return dir.file(name);
}

} // namespace tarvimo::test
