// A fresh folder per test, removed afterwards, plus small file helpers.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvimo::test {

class TempDir {
public:
    // A fresh folder under $TMPDIR (or /tmp) named after 'prefix'.
    explicit TempDir(std::string_view prefix = "tarvimo-test")
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        char* made = ::mkdtemp(tmpl.data());
        if (!made)
            throw std::runtime_error("cannot create a temporary folder " + tmpl);
        path_ = made;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(std::string_view name) const { return path_ + "/" + std::string(name); }

private:
    std::string path_;
};

// Writes the bytes to a file, replacing it; throws when that fails.
inline void writeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f.flush())
        throw std::runtime_error("cannot write " + path);
}

// The names of the entries of a folder (none when it cannot be read).
inline std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder, ec))
        names.insert(e.path().filename().string());
    return names;
}

// The whole file, or an empty text when it cannot be read.
inline std::string readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Runs a shell command and returns its standard output; 'status' gets the exit status.
inline std::string runCommand(const std::string& cmd, int* status = nullptr)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int rc = ::pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

} // namespace tarvimo::test

#include <csignal>
#include <sys/resource.h>

namespace tarvimo::test {

// Limits the size of files this process may write, so a write fails as on a full disk
// (EFBIG); works for root too. Restores the old limit when it goes out of scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace tarvimo::test
