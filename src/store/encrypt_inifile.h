// The encrypted INI store of task files: the INI text, each non-blank line enciphered
// with a line cipher, the whole compressed as one zlib stream. A file that does not begin
// as a zlib stream (or is missing) is read and written as plain INI text instead (plain
// mode). A file that begins as one but does not inflate whole, or holds a line that is no
// cipher text, is a damaged container: opening it throws, so it is never written over.
#pragma once

#include "store/ini_store.h"
#include "store/tinifile.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarvimo::store {

// Why a task file cannot be opened as a container; the store's messages name the file.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A container line that is not valid cipher text. The store's message names the file and
// the line.
class ConversionError : public StoreError {
public:
    using StoreError::StoreError;
};

// A file that cannot be read as a container: unreadable, or a zlib stream that is cut short
// or corrupt. The message names the file and the reason.
class ContainerError : public StoreError {
public:
    using StoreError::StoreError;
};

// The key every task store uses: the GBK bytes of the word 青柳.
const std::string& storeKey();

// Enciphers one line: two hex digits of a random seed, then two per byte. An empty key
// stands for "Kolvar".
std::string EncryptLine(std::string_view plain, std::string_view key);
// Deciphers one line; throws ConversionError for a pair that is not hexadecimal or missing.
std::string DecryptLine(std::string_view cipher, std::string_view key);

// Joins the lines with CR LF after each, compresses them at level 9 and replaces the file
// (atomically). Throws files::FileError.
void SaveCompressedLines(const std::vector<std::string>& lines, const std::string& fileName);
// Reads and inflates the file and splits it into lines (CR, LF or CR LF end a line).
// A file of length 0 gives no lines. Throws ContainerError.
void LoadCompressedLines(const std::string& fileName, std::vector<std::string>& lines);
// The same for bytes already in memory (the error then names no file).
void InflateLines(std::string_view packed, std::vector<std::string>& lines);
// True when the bytes begin with a zlib header the store reads as a container: deflate,
// a window zlib allows, a valid header check and no preset dictionary.
bool startsAsZlibStream(std::string_view bytes);

class TEncryptInifile : public IniStore {
public:
    // Loads the file: a container, or plain mode for a missing file or one that does not
    // begin as a zlib stream (an empty file is an empty container). Throws ContainerError
    // for a damaged container and ConversionError for a container with a bad cipher line.
    explicit TEncryptInifile(std::string fileName);
    // Saves as UpdateFile does; a failure here is swallowed (a destructor must not throw),
    // so writers call UpdateFile themselves to learn of it.
    ~TEncryptInifile() override;

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) override;
    int ReadInteger(std::string_view section, std::string_view key, int def) override;
    bool ReadBool(std::string_view section, std::string_view key, bool def) override;
    void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
    void WriteInteger(std::string_view section, std::string_view key, int value) override;
    void WriteBool(std::string_view section, std::string_view key, bool value) override;

    // Encodes and writes the file when dirty and not empty. Throws files::FileError.
    void UpdateFile();

    bool plainMode() const { return plain_ != nullptr; }
    bool dirty() const { return dirty_; }
    const std::string& fileName() const { return fileName_; }
    // The decoded INI lines in file order (empty in plain mode).
    const std::vector<std::string>& lines() const { return lines_; }

private:
    // Index of the matching key line, or npos; 'header' receives the section's header index.
    std::size_t findKey(std::string_view section, std::string_view key, std::size_t& header) const;
    // The text after "key=" of a matched line (trimmed line, letter case as stored).
    std::string valueAt(std::size_t index, std::string_view key) const;

    std::string fileName_;
    std::vector<std::string> lines_;
    std::unique_ptr<TIniFile> plain_;
    bool dirty_ = false;
};

} // namespace tarvimo::store
