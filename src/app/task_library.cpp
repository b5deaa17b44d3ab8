#include "app/task_library.h"

#include "base/home.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/schema.h"
#include "store/task_paths.h"
#include "store/task_schema.h"

#include <algorithm>
#include <filesystem>

namespace tarvimo::app {

namespace fs = std::filesystem;

TaskListing listTasks(const std::string& home)
{
    TaskListing out;
    for (const auto& path : store::libraryTaskFiles(home)) {
        LibraryTask t{store::taskNameOf(path), path, 0};
        try {
            store::TEncryptInifile ini(path);
            t.taktype = store::readInt(ini, store::task::taktype);
        } catch (const std::exception&) {
            out.failedFile = path;
            break;
        }
        out.tasks.push_back(std::move(t));
    }
    return out;
}

std::vector<std::string> deleteTaskFiles(const std::string& home, std::string_view taskNameGbk)
{
    std::vector<std::string> failed;
    for (const auto& path : store::taskFilesOfName(home, taskNameGbk)) {
        std::error_code ec;
        if (!fs::remove(path, ec) && ec)
            failed.push_back(path);
    }
    return failed;
}

} // namespace tarvimo::app
