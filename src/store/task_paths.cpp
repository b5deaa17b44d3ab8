#include "store/task_paths.h"

#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "store/delimited.h"

#include <algorithm>
#include <filesystem>

namespace tarvimo::store {

std::string taskPath(const std::string& home, std::string_view taskNameGbk)
{
    return files::joinPath(home::taskFolder(home), text::gbkToUtf8(taskNameGbk) + ".tak");
}

std::string taskNameOf(const std::string& path)
{
    std::string name = files::baseName(path);
    if (name.size() >= 4)
        name.resize(name.size() - 4);
    return text::utf8ToGbk(name);
}

std::vector<std::string> libraryTaskFiles(const std::string& home)
{
    namespace fs = std::filesystem;
    std::vector<std::string> paths;
    std::error_code ec;
    for (fs::directory_iterator it(home::taskFolder(home), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && text::endsWithNoCase(it->path().filename().string(), ".tak"))
            paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> taskFilesOfName(const std::string& home, std::string_view taskNameGbk)
{
    const std::string base = files::joinPath(home::taskFolder(home), text::gbkToUtf8(taskNameGbk));
    std::vector<std::string> out{base + ".tak", base + ".dll"};
    for (int n = 1; n <= 10; ++n) {
        out.push_back(base + std::to_string(n) + ".dll");
        out.push_back(base + std::to_string(n) + ".dtp");
    }
    return out;
}

bool isUsableTaskName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    // Characters, not bytes: '\\' is the second byte of some GBK characters (表), which
    // are harmless in a file name.
    for (std::size_t i = 0; i < name.size(); i += text::charLen(name, i)) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::vector<SiblingTask> siblingTaskFiles(const std::string& taskFile, int taktype, std::string_view additionalTaskGbk,
                                          const std::string& home)
{
    std::vector<SiblingTask> out;
    // Siblings are named like the task file with ".tak" replaced.
    std::string stem = taskFile;
    if (text::endsWithNoCase(stem, ".tak"))
        stem.resize(stem.size() - 4);
    auto addNumbered = [&](const char* ext) {
        for (int i = 1; i <= 10; ++i) {
            std::string p = stem + std::to_string(i) + ext;
            if (files::exists(p))
                out.push_back({std::to_string(i), p});
        }
    };
    if (taktype == 0) {
        for (const auto& item : splitDelimited(additionalTaskGbk, ',')) {
            if (text::trimView(item).empty())
                continue;
            std::string p = home::toNativePath(item, home);
            if (files::exists(p))
                out.push_back({files::baseName(p), p});
        }
        if (files::exists(stem + ".dll"))
            out.push_back({"0", stem + ".dll"});
        addNumbered(".dll");
    } else if (taktype == 1) {
        addNumbered(".dtp");
    }
    return out;
}

} // namespace tarvimo::store
