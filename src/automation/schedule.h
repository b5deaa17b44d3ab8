// The automatic-run settings of task files (section schedule), read each time they are
// needed, so a change made while the program runs takes effect at the next look. They are
// read through the task store, plain or encrypted: a task the search wizard stored
// encrypted, its schedule then set with the program's own writer, still runs
// automatically. Every reader here skips a file it cannot read without a word.
//
// `autorunsystem` has two defaults: the start-up scan reads a missing key as false (the
// task joins the daily check), every other reader as the key's own default, true.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvimo::automation {

// A time of day, 24-hour clock.
struct RunTime {
    int hour = 0, minute = 0;
    bool operator==(const RunTime&) const = default;
};

// "hh:mm" (also "h:m", and "hh:mm:ss" whose seconds are ignored), blanks around it allowed;
// nothing when the text is no time of day.
std::optional<RunTime> parseRunTime(std::string_view text);

// Section schedule of one task file.
struct Schedule {
    bool autotask = false;
    bool atStartup = true;  // autorunsystem
    std::string runTime;    // autorunTime, GBK
    int runCount = 0;       // autoruncount; 0 asks for no repeat
    int pauseMinutes = 1;   // autorunPauseTime
    std::string tableName;  // autorunTableName, GBK, trimmed
    std::vector<std::string> noDuplicate, columnTitles, tableFields;  // data0, data1, data2
};

// Reads the section; nothing when the file does not exist or cannot be read.
// 'startupScan' reads a missing autorunsystem as false.
std::optional<Schedule> readSchedule(const std::string& taskFile, bool startupScan = false);

// What the start-up scan found in the library.
struct ScanResult {
    std::vector<std::string> dailyTasks;  // task names (GBK) for the minute tick, library order
    bool dialogWanted = false;            // a task runs at start: show the auto-run dialog
};
ScanResult scanScheduledTasks(const std::string& home);

// One row of the auto-run dialog.
struct StartupTask {
    std::string name;  // GBK
    int runCount = 0;
    int pauseMinutes = 1;
};
// The tasks that run when the program starts (autotask and autorunsystem both true), in
// library order.
std::vector<StartupTask> startupTasks(const std::string& home);

// The seconds of the dialog's "时间间隔：" box: text that is no number counts as 1, a
// negative number as 0, and the wait is at most a day.
int intervalSeconds(std::string_view text);

} // namespace tarvimo::automation
