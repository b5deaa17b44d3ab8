// File access shared by every store: whole-file reads and crash-safe whole-file writes.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarvimo::files {

// A failed read or write, with a message that names the file.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The whole file as bytes. Throws FileError when it is missing or unreadable.
std::string readAll(const std::string& path);
// The whole file, or false when it is missing or unreadable.
bool tryReadAll(const std::string& path, std::string& out);
bool exists(const std::string& path);
// A text that is the same for every path naming one file (device and inode), so links and
// "a/../b" forms compare equal; the path itself when the file cannot be examined.
std::string identity(const std::string& path);

// Writes the bytes to a temporary file beside 'path', flushes it to disk and renames it
// into place, so a crash or a full disk leaves either the old file or the new one whole.
// A file that exists keeps its permission bits; a new one gets 'newFileMode'.
// Missing parent folders are created. Throws FileError naming the file on failure.
void writeAtomic(const std::string& path, std::string_view bytes, mode_t newFileMode = 0644);

// The same for a writer that fills a file by name (a library that opens the file itself):
// 'write' gets the temporary file's path, which exists and is empty, and throws FileError
// on failure; the file is then flushed and renamed into place, or removed.
void writeAtomicVia(const std::string& path, const std::function<void(const std::string& tmpPath)>& write,
                    mode_t newFileMode = 0644);

// Whether writeAtomic(path, ...) can succeed now: the folder exists or can be made and a
// file can be created in it, and 'path' is no folder. False with the reason in 'why'.
// Leaves nothing behind but the folders writeAtomic would make too.
bool canWrite(const std::string& path, std::string& why);

// Removes a file; true when it is gone afterwards (also when it never was there).
bool removeFile(const std::string& path);

// Creates the folder and its parents; true when it exists afterwards.
bool makeDirs(const std::string& path);

// The folder part of a path ("." for a bare name) and the last part.
std::string dirName(const std::string& path);
std::string baseName(const std::string& path);
std::string joinPath(std::string_view dir, std::string_view name);

} // namespace tarvimo::files
