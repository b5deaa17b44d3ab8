// What the headless commands that run a collection share: the application object and
// the drive of a run frame to its end (progress on standard error, Ctrl-C stops and keeps
// the rows, the table written at the end).
#pragma once

#include "base/messages.h"
#include "output/auto_save.h"
#include "run/frame_task_data.h"

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace tarvimo::cli {

// SIGINT and SIGTERM ask the running command to stop (a second one ends the program the
// usual way) while this object lives; the old handlers come back afterwards.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    // A stop signal has come since the guard was made.
    static bool requested();

private:
    void (*oldInt_)(int);
    void (*oldTerm_)(int);
};

// Progress lines of a run frame on standard error: every message line, and the counters
// when they change (or every tenth look). Each line begins with 'prefix' (default
// "tarvimo-cli: ").
class ProgressPrinter {
public:
    ProgressPrinter(run::TFrameTaskData& frame, std::ostream& err, std::function<std::string()> prefix = {});
    void message(int line);
    void counters(bool force);

private:
    std::string prefix() const;

    run::TFrameTaskData& frame_;
    std::ostream& err_;
    std::function<std::string()> prefix_;
    int rows_ = -1, progress_ = -1, quiet_ = 0;
    long long taken_ = -1;
    std::size_t tasks_ = 0;
    std::string status_;
};

// What a run frame needs around it without a window: no settling pause after a master's
// last worker, its automatic save, and its message lines on standard error (the counters
// are printed by the caller, through printer()).
class HeadlessFrame {
public:
    HeadlessFrame(run::TFrameTaskData& frame, std::ostream& err, std::function<std::string()> prefix = {});
    output::AutoSave& autoSave() { return autoSave_; }
    ProgressPrinter& printer() { return printer_; }

private:
    output::AutoSave autoSave_;
    ProgressPrinter printer_;
};

// Message boxes as lines on a stream ("tarvimo-cli: " first); questions are answered no.
// Counts the warnings, since a warning means the command did not complete.
class StreamMessages : public UserMessages {
public:
    explicit StreamMessages(std::ostream& err) : err_(err) {}
    void warning(std::string_view text) override
    {
        ++warnings;
        err_ << "tarvimo-cli: " << text << "\n";
    }
    void information(std::string_view text) override { err_ << "tarvimo-cli: " << text << "\n"; }
    bool question(std::string_view) override { return false; }
    int warnings = 0;

private:
    std::ostream& err_;
};

// A QCoreApplication when there is none yet (the caller keeps it for the command).
std::unique_ptr<QCoreApplication> ensureApplication();

// Where the rows go.
struct HeadlessOutput {
    std::string outFile;   // empty: standard output
    bool utf8 = false;     // UTF-8 instead of GBK
    std::string taskFile;  // named when it cannot be read
};

// Whether the rows can be written to 'outFile' (empty: standard output), found out before
// anything is fetched, not after a long run; says why not on 'err'.
bool outputWritable(const std::string& outFile, std::ostream& err);

// Calls 'start' (which starts the frame's run), waits for the run to end and writes the
// rows. The exit status of a command: kOk, or kFileError when the task or the output
// cannot be had.
int driveRun(run::TFrameTaskData& frame, const std::function<void()>& start, const HeadlessOutput& output,
             std::ostream& out, std::ostream& err);

} // namespace tarvimo::cli
