// What the headless commands that run a collection share: the application object and
// the drive of a run frame to its end (progress on standard error, Ctrl-C stops and keeps
// the rows, the table written at the end).
#pragma once

#include "run/frame_task_data.h"

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace tarvimo::cli {

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
