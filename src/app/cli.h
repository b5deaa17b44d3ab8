// The headless front end's command handling, kept out of main() so tests can drive it.
#pragma once

#include "engine/environment.h"

#include <ostream>
#include <string>
#include <vector>

namespace tarvimo::cli {

// Exit statuses shared by every command.
enum ExitCode { kOk = 0, kFileError = 1, kUsage = 2 };

// Runs one command line (arguments without the program name). Results go to 'out',
// messages and progress to 'err'.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The environment a command works in: the home folder chosen for the command line (its
// --home flag, else the process environment's), that home's settings and site catalogue,
// and the wall clock or, with 'fixedTime' (UTF-8), that text in every time column.
engine::Environment commandEnvironment(const std::string& home, const std::string& fixedTime = {});

// The commands; 'home' is the resolved home folder of the command line.
// The `task` command group.
int runTask(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);
// `extract`: a task's rules on a saved page.
int runExtract(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);
// `urls`: the addresses a run of a task would visit.
int runUrls(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);
// `run`: a whole collection without a display.
int runRun(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);
// `search`: the keyword search of the directory sites without a display.
int runSearch(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);

// `export`: a rows file to a text file, a workbook or the configured database.
int runExport(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);

// `scan`: the link-scanning crawler from web addresses, its links on standard output.
int runScan(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);

// `daemon`: the automatic runs without a display, until stopped.
int runDaemon(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err);

} // namespace tarvimo::cli
