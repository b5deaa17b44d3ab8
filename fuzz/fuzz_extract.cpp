// The extraction engine on a fuzzed rule set and a fuzzed page: the input holds the task
// file text, a zero byte, then the page; or "TAK", the task's length in four bytes (least
// significant first), the task file's bytes (an enciphered container may hold zero bytes)
// and the page. Any rows or none, never a fault or a hang.
#include "base/files.h"
#include "engine/environment.h"
#include "engine/task.h"
#include "engine/task_exec.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tarvimo;
    static const std::string dir = "/tmp/tarvimo-fuzz-extract-" + std::to_string(::getpid());
    // Settings reads stay in a scratch folder; the shipped catalogue; a fixed clock.
    static const engine::Environment env = [] {
        files::makeDirs(dir);
        engine::Environment e;
        e.home = dir;
        e.settingsPath = dir + "/DefaultSet.ini";
        e.fixClock("t");
        return e;
    }();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view task;
    std::string page;
    if (input.size() >= 7 && input.starts_with("TAK")) {
        std::size_t length = 0;
        for (int i = 6; i >= 3; --i)
            length = length * 256 + static_cast<unsigned char>(input[static_cast<std::size_t>(i)]);
        task = input.substr(7, length);
        page = std::string(input.substr(std::min(input.size(), 7 + length)));
    } else {
        auto split = input.find('\0');
        task = split == std::string_view::npos ? input : input.substr(0, split);
        page = std::string(split == std::string_view::npos ? std::string_view() : input.substr(split + 1));
    }

    const std::string taskFile = dir + "/t.tak";
    files::writeAtomic(taskFile, task);
    engine::RunState state;
    engine::TtaskExec exec(state, env);
    exec.setEmailLookup(false, true);
    exec.setTask(engine::loadTask(taskFile).task);
    std::size_t handed = 0;
    exec.setHandOver([&](const engine::Row&) { ++handed; });
    auto rows = exec.extractPage(std::move(page), nullptr, "http://h/a/b.html");
    if (rows.size() != handed)
        __builtin_trap();
    return 0;
}
