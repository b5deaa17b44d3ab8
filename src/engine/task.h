// A task file loaded once into an immutable value: the master's configuration, the rule
// set of the extraction engine, the row layout of the grid and the run frame's values.
// The master, its workers, the run frame and the savers share one value (TaskPtr), so a
// run reads its task file exactly once and every part of it sees the same task.
//
// Loading only reads. The single change a task asks for when it is loaded (a task that
// reads articles into no column of its own records every row's page address) is written
// by writeLoadTimeChanges, which the master calls when it starts.
#pragma once

#include "engine/postprocess.h"
#include "engine/task_config.h"

#include <memory>
#include <string>
#include <vector>

namespace tarvimo::store {
class TEncryptInifile;
}

namespace tarvimo::engine {

// The rule table of a task and the switches of its extraction, with the values derived at
// load time (markers lower-cased unless case-sensitive, output captions). The task's other
// values (encoding, base address, start address, kind) are its TaskConfig's.
struct RuleSet {
    PostSettings settings;
    RuleColumns columns;
    FieldPostProcessor post;
    std::vector<std::string> begins, ends;
    bool wholePage = false, loop = false, autoMid = true, saveUrl = false, autoTime = true;
    bool midCut = false;
    std::string midMarker, loopWord, loopWordStored, loopFront, loopHind;
};

// The grid titles and time rule of a task that matches no directory site: "序号", the
// rules' output captions (with "邮箱" for a company-directory task, whose rows carry the
// page's e-mail last) and "采集时间" when the rules do not stamp the time themselves.
struct PlainRowLayout {
    std::vector<std::string> titles;  // GBK
    bool appendTime = true;
};

// Automatic saving of the run's rows (`taskAutoSave`, `taskAutoSavePL`, `taskAutoSaveName`).
struct AutoSaveSetting {
    bool on = true;
    int periodMinutes = 10;
    std::string name;  // GBK, without ".txt"; empty: the default under the home folder
};

struct Task {
    std::string file;  // the path it was loaded from
    std::string name;  // the file name without its four-character extension
    TaskConfig config;
    RuleSet rules;
    PlainRowLayout layout;
    AutoSaveSetting autoSave;
    std::string additionalTasks;  // `AdditionalTask`, GBK, comma-delimited
};

using TaskPtr = std::shared_ptr<const Task>;

struct TaskLoad {
    TaskPtr task;       // null when the file could not be read
    std::string error;  // why (UTF-8), when task is null
};

// Reads a task file (encrypted container or plain INI). Never writes.
TaskLoad loadTask(const std::string& file);
// A task made from an open store (tests and tools that hold the store already).
TaskPtr taskFromStore(store::TEncryptInifile& ini, const std::string& file);

// Writes what the task asks to be recorded in its file at load time; true when something
// was written. Failures are reported through 'error' and leave the file as it was.
bool writeLoadTimeChanges(const Task& task, std::string* error = nullptr);

} // namespace tarvimo::engine
