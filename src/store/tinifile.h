// The plain INI store: a text INI file in GBK with CR LF line ends, read and written one
// value at a time. Each write takes effect in the file at once (the whole file is written
// to a temporary file and renamed into place); each read sees the file as it is on disk.
#pragma once

#include "store/ini_store.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarvimo::store {

class TIniFile : public IniStore {
public:
    // 'newFileMode' is the permission of the file when a write creates it.
    explicit TIniFile(std::string fileName, mode_t newFileMode = 0644);

    const std::string& fileName() const { return fileName_; }

    // The value with blanks around it removed, whole whatever its length (as the encrypted
    // store reads it, so a task reads the same in both forms).
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) override;
    // Decimal, or hexadecimal after "0x"/"0X"; the default when the text is no integer.
    int ReadInteger(std::string_view section, std::string_view key, int def) override;
    // True when the integer read gives anything but 0.
    bool ReadBool(std::string_view section, std::string_view key, bool def) override;
    // A key that exists is rewritten in place; a new key goes at the end of its section;
    // a new section at the end of the file. Line breaks inside the value become blanks
    // (a value is one line). Throws files::FileError "Unable to write to <file>".
    void WriteString(std::string_view section, std::string_view key, std::string_view value) override;
    void WriteInteger(std::string_view section, std::string_view key, int value) override;
    void WriteBool(std::string_view section, std::string_view key, bool value) override;

    // Section names in file order, and the key names of one section.
    std::vector<std::string> ReadSections();
    std::vector<std::string> ReadSection(std::string_view section);

private:
    struct Line {
        std::size_t begin, end;  // byte range in text_, line end excluded
    };
    void refresh();
    std::string_view line(std::size_t i) const { return std::string_view(text_).substr(lines_[i].begin, lines_[i].end - lines_[i].begin); }
    // Index of the header line of the first matching section, or npos.
    std::size_t findSection(std::string_view section) const;
    // Index of the key line within the section starting after 'header', or npos.
    std::size_t findKey(std::size_t header, std::string_view key) const;
    std::size_t sectionEnd(std::size_t header) const;
    void store(std::string newText);

    std::string fileName_;
    mode_t newFileMode_;
    std::string text_;
    std::vector<Line> lines_;
    // Identity of the file the parsed text came from; re-read when it changes.
    std::int64_t size_ = -1, mtimeNs_ = -1;
    ino_t inode_ = 0;
};

} // namespace tarvimo::store
