// Where task files live and which sibling task files run with a task.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::store {

// The path of a task: home + "/Task/" + name + ".tak" (name is GBK; the path is UTF-8).
std::string taskPath(const std::string& home, std::string_view taskNameGbk);
// The task name of a task file: its file name without the four-character extension (GBK).
std::string taskNameOf(const std::string& path);

struct SiblingTask {
    std::string label;  // the name the run enters it under: a file name, "0", "1" ... "10"
    std::string path;   // UTF-8 file-system path
};

// The sibling task files that exist beside the task file, in run order.
// taktype 0: each existing path of `AdditionalTask` (GBK, comma-delimited) under its file
// name, then name.dll under "0", then name1.dll ... name10.dll under "1" ... "10".
// taktype 1: name1.dtp ... name10.dtp under "1" ... "10". Other kinds have none.
// A relative `AdditionalTask` path is taken from the home folder.
std::vector<SiblingTask> siblingTaskFiles(const std::string& taskFile, int taktype,
                                          std::string_view additionalTaskGbk, const std::string& home);

} // namespace tarvimo::store
