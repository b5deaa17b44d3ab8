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

// The task files of the library: every regular file in home/Task whose name ends in
// ".tak" in any letter case, sorted by name (UTF-8 paths).
std::vector<std::string> libraryTaskFiles(const std::string& home);

// The files that belong to a task of that name and go when it is deleted: name.tak,
// name.dll, and for N = 1 ... 10 nameN.dll and nameN.dtp (UTF-8 paths in home/Task).
std::vector<std::string> taskFilesOfName(const std::string& home, std::string_view taskNameGbk);

// A task name is used as a file name: one holding '/', '\' or a control character, or that
// is "." or "..", would name a file outside the task folder. True when it is usable.
bool isUsableTaskName(std::string_view taskNameGbk);
// What the user is told when it is not.
inline constexpr const char* kUnusableTaskName = "任务名称不能含有 / \\ 或控制字符, 也不能是 . 或 .., 请换一个任务名";

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
