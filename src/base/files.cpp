#include "base/files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvimo::files {
namespace {

std::string errnoText(int err) { return std::strerror(err); }

bool writeFully(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool tryReadAll(const std::string& path, std::string& out)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.clear();
    if (st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string readAll(const std::string& path)
{
    std::string out;
    if (!tryReadAll(path, out))
        throw FileError("Cannot read " + path + ": " + errnoText(errno));
    return out;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string identity(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return path;
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

bool makeDirs(const std::string& path)
{
    if (path.empty())
        return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    std::string parent = dirName(path);
    if (parent != path && parent != "." && parent != "/")
        makeDirs(parent);
    return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

bool canWrite(const std::string& path, std::string& why)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        why = "it is a folder";
        return false;
    }
    const std::string dir = dirName(path);
    if (!makeDirs(dir)) {
        why = "cannot create folder " + dir;
        return false;
    }
    // Trying is the only sure test (permissions, read-only mounts, quotas on creation).
    std::string probe = joinPath(dir, ".tarvimo-write-test-XXXXXX");
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) {
        why = errnoText(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

namespace {

// Creates an empty temporary file beside 'path' with the mode the file will have; its
// name, with the open descriptor in 'fd'.
std::string reserveTemporary(const std::string& path, mode_t newFileMode, int& fd)
{
    const std::string dir = dirName(path);
    if (!makeDirs(dir))
        throw FileError("Unable to write to " + path + ": cannot create folder " + dir);

    mode_t mode = newFileMode;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;

    static thread_local std::mt19937_64 rng{std::random_device{}()};
    std::string tmp;
    fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        tmp = path + ".tmp" + std::to_string(rng() % 1000000000ULL);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        throw FileError("Unable to write to " + path + ": " + errnoText(errno));
    // The mode given to open() is narrowed by the umask; set it exactly.
    ::fchmod(fd, mode);
    return tmp;
}

// Flushes and closes the temporary file, then renames it over 'path'; removes it on failure.
void commitTemporary(const std::string& path, const std::string& tmp, int fd, bool ok, int err)
{
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        throw FileError("Unable to write to " + path + ": " + errnoText(err));
    }
}

} // namespace

void writeAtomic(const std::string& path, std::string_view bytes, mode_t newFileMode)
{
    int fd = -1;
    const std::string tmp = reserveTemporary(path, newFileMode, fd);
    const bool ok = writeFully(fd, bytes);
    commitTemporary(path, tmp, fd, ok, errno);
}

void writeAtomicVia(const std::string& path, const std::function<void(const std::string& tmpPath)>& write,
                    mode_t newFileMode)
{
    int fd = -1;
    const std::string tmp = reserveTemporary(path, newFileMode, fd);
    try {
        write(tmp);
    } catch (...) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw;
    }
    // The writer replaced the file under the same name; flush what is there now.
    ::close(fd);
    fd = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw FileError("Unable to write to " + path + ": " + errnoText(err));
    }
    commitTemporary(path, tmp, fd, true, 0);
}

std::string dirName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joinPath(std::string_view dir, std::string_view name)
{
    std::string out(dir);
    if (!out.empty() && out.back() != '/')
        out += '/';
    out += name;
    return out;
}

} // namespace tarvimo::files
