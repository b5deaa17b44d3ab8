// The task library: the task files in the home's Task folder. There is no index; the list
// is read from the folder each time it is shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::app {

inline constexpr const char* kTaskLoadError = "加载任务时出现错误！";
inline constexpr const char* kConfirmDeleteTask = "确实要删除该任务吗？";

struct LibraryTask {
    std::string name;  // GBK: the file name without ".tak"
    std::string path;  // UTF-8
    int taktype = 0;
};

struct TaskListing {
    std::vector<LibraryTask> tasks;  // by name
    // The file that could not be read (the listing ends there); empty when all were read.
    std::string failedFile;
};

// The task files of the library, by name, each with its type read from the file.
TaskListing listTasks(const std::string& home);

// Deletes the task file and its companions (name.dll, nameN.dll, nameN.dtp); the files that
// could not be removed are returned.
std::vector<std::string> deleteTaskFiles(const std::string& home, std::string_view taskNameGbk);

} // namespace tarvimo::app
