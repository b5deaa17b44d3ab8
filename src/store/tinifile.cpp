#include "store/tinifile.h"

#include "base/files.h"
#include "base/text.h"

#include <sys/stat.h>

namespace tarvimo::store {
namespace {

constexpr std::size_t npos = std::string::npos;

bool isHeader(std::string_view trimmed) { return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.find(']') != npos; }

std::string_view headerName(std::string_view trimmed)
{
    return text::trimView(trimmed.substr(1, trimmed.find(']') - 1));
}

// Splits "key = value" of a trimmed line; false for lines that hold no key.
bool splitKeyLine(std::string_view trimmed, std::string_view& key, std::string_view& value)
{
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return false;
    auto eq = trimmed.find('=');
    if (eq == npos)
        return false;
    key = text::trimView(trimmed.substr(0, eq));
    value = text::trimView(trimmed.substr(eq + 1));
    return true;
}

} // namespace

TIniFile::TIniFile(std::string fileName, mode_t newFileMode)
    : fileName_(std::move(fileName)), newFileMode_(newFileMode)
{
}

void TIniFile::refresh()
{
    struct stat st {};
    if (::stat(fileName_.c_str(), &st) != 0) {
        text_.clear();
        lines_.clear();
        size_ = -1;
        mtimeNs_ = -1;
        inode_ = 0;
        return;
    }
    const std::int64_t mtime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    if (st.st_size == size_ && mtime == mtimeNs_ && st.st_ino == inode_)
        return;
    std::string bytes;
    if (!files::tryReadAll(fileName_, bytes))
        bytes.clear();  // an unreadable file reads as an empty one
    text_ = std::move(bytes);
    lines_.clear();
    std::size_t b = 0;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == '\r' || text_[i] == '\n') {
            lines_.push_back({b, i});
            if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n')
                ++i;
            b = i + 1;
        }
    }
    if (b < text_.size())
        lines_.push_back({b, text_.size()});
    size_ = st.st_size;
    mtimeNs_ = mtime;
    inode_ = st.st_ino;
}

std::size_t TIniFile::findSection(std::string_view section) const
{
    const std::string_view want = text::trimView(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto t = text::trimView(line(i));
        if (isHeader(t) && text::equalsNoCase(headerName(t), want))
            return i;
    }
    return npos;
}

std::size_t TIniFile::sectionEnd(std::size_t header) const
{
    std::size_t i = header + 1;
    while (i < lines_.size() && !isHeader(text::trimView(line(i))))
        ++i;
    return i;
}

std::size_t TIniFile::findKey(std::size_t header, std::string_view key) const
{
    const std::string_view want = text::trimView(key);
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        std::string_view k, v;
        if (splitKeyLine(text::trimView(line(i)), k, v) && text::equalsNoCase(k, want))
            return i;
    }
    return npos;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view def)
{
    refresh();
    std::size_t h = findSection(section);
    std::size_t k = h == npos ? npos : findKey(h, key);
    if (k == npos)
        return std::string(def);
    std::string_view name, value;
    splitKeyLine(text::trimView(line(k)), name, value);
    return std::string(value);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def)
{
    int v = def;
    if (!text::parseInt32(ReadString(section, key, ""), v, true))
        return def;
    return v;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def)
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::store(std::string newText)
{
    try {
        files::writeAtomic(fileName_, newText, newFileMode_);
    } catch (const files::FileError&) {
        throw files::FileError("Unable to write to " + fileName_);
    }
    size_ = -1;  // re-read (and re-stat) on the next access
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    refresh();
    const std::string v = text::oneLine(value);
    const std::string keyName = text::oneLine(text::trimView(key));
    const std::string secName = text::oneLine(text::trimView(section));
    std::string out;
    out.reserve(text_.size() + keyName.size() + v.size() + secName.size() + 8);
    auto appendLines = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            out.append(line(i));
            out.append("\r\n");
        }
    };
    std::size_t h = findSection(section);
    if (h == npos) {
        appendLines(0, lines_.size());
        if (!lines_.empty() && !text::trimView(line(lines_.size() - 1)).empty())
            out.append("\r\n");
        out.append("[" + secName + "]\r\n" + keyName + "=" + v + "\r\n");
    } else if (std::size_t k = findKey(h, key); k != npos) {
        // Keep the key as it is spelled in the file; only the value changes.
        std::string_view name, old;
        splitKeyLine(text::trimView(line(k)), name, old);
        appendLines(0, k);
        out.append(std::string(name) + "=" + v + "\r\n");
        appendLines(k + 1, lines_.size());
    } else {
        // After the section's last non-blank line, so blank separators stay where they are.
        std::size_t end = sectionEnd(h);
        std::size_t at = end;
        while (at > h + 1 && text::trimView(line(at - 1)).empty())
            --at;
        appendLines(0, at);
        out.append(keyName + "=" + v + "\r\n");
        appendLines(at, lines_.size());
    }
    store(std::move(out));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSections()
{
    refresh();
    std::vector<std::string> out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto t = text::trimView(line(i));
        if (isHeader(t))
            out.emplace_back(headerName(t));
    }
    return out;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section)
{
    refresh();
    std::vector<std::string> out;
    std::size_t h = findSection(section);
    if (h == npos)
        return out;
    for (std::size_t i = h + 1, end = sectionEnd(h); i < end; ++i) {
        std::string_view k, v;
        if (splitKeyLine(text::trimView(line(i)), k, v))
            out.emplace_back(k);
    }
    return out;
}

} // namespace tarvimo::store
