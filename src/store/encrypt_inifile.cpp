#include "store/encrypt_inifile.h"

#include "base/files.h"
#include "base/text.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <random>

namespace tarvimo::store {
namespace {

constexpr std::size_t npos = std::string::npos;
// A task file is tens of lines; anything that inflates past this is not one of ours,
// and refusing it keeps a hostile file from exhausting memory.
constexpr std::size_t kMaxInflated = 256u << 20;

int hexPair(std::string_view s, std::size_t i)
{
    if (i + 1 >= s.size())
        throw ConversionError("'" + std::string(s.substr(i)) + "' is not a valid integer value");
    int hi = text::hexDigitValue(s[i]), lo = text::hexDigitValue(s[i + 1]);
    if (hi < 0 || lo < 0)
        throw ConversionError("'" + std::string(s.substr(i, 2)) + "' is not a valid integer value");
    return hi * 16 + lo;
}

void appendHex(std::string& out, unsigned v)
{
    static const char digits[] = "0123456789abcdef";
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

std::string_view effectiveKey(std::string_view key) { return key.empty() ? std::string_view("Kolvar") : key; }

bool blankLine(std::string_view s) { return text::trimView(s).empty(); }

} // namespace

const std::string& storeKey()
{
    static const std::string key = text::gbk("青柳");
    return key;
}

std::string EncryptLine(std::string_view plain, std::string_view key)
{
    key = effectiveKey(key);
    static thread_local std::mt19937 rng(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ std::random_device{}()));
    unsigned v = std::uniform_int_distribution<unsigned>(0, 255)(rng);
    std::string out;
    out.reserve(2 + 2 * plain.size());
    appendHex(out, v);
    std::size_t j = 0;
    const std::size_t m = key.size();
    for (unsigned char b : plain) {
        v = (v + b) % 255;
        j = j < m ? j + 1 : 1;
        v ^= static_cast<unsigned char>(key[j - 1]);
        appendHex(out, v);
    }
    return out;
}

std::string DecryptLine(std::string_view cipher, std::string_view key)
{
    key = effectiveKey(key);
    const std::size_t m = key.size();
    int p = hexPair(cipher, 0);
    std::string out;
    out.reserve(cipher.size() / 2);
    std::size_t i = 2, j = 0;
    do {
        int c = hexPair(cipher, i);
        j = j < m ? j + 1 : 1;
        int a = c ^ static_cast<unsigned char>(key[j - 1]);
        int b = a > p ? a - p : a + 255 - p;
        out += static_cast<char>(b);
        p = c;
        i += 2;
    } while (i + 1 < cipher.size());  // a trailing single character is ignored
    return out;
}

void SaveCompressedLines(const std::vector<std::string>& lines, const std::string& fileName)
{
    std::string plain;
    for (const auto& l : lines) {
        plain += l;
        plain += "\r\n";
    }
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::string packed(size, '\0');
    int rc = compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                       reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(plain.size()), 9);
    if (rc != Z_OK)
        throw files::FileError("Unable to write to " + fileName + ": compression failed");
    packed.resize(size);
    files::writeAtomic(fileName, packed);
}

void InflateLines(std::string_view packed, std::vector<std::string>& lines)
{
    lines.clear();
    if (packed.empty())
        return;

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        throw ContainerError("cannot start inflating");
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    std::size_t inLeft = packed.size();
    std::string plain;
    char buf[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        if (zs.avail_in == 0 && inLeft > 0) {
            zs.avail_in = static_cast<uInt>(std::min<std::size_t>(inLeft, 1u << 30));
            inLeft -= zs.avail_in;
        }
        zs.next_out = reinterpret_cast<Bytef*>(buf);
        zs.avail_out = sizeof buf;
        rc = inflate(&zs, Z_NO_FLUSH);
        plain.append(buf, sizeof buf - zs.avail_out);
        if (plain.size() > kMaxInflated)
            rc = Z_MEM_ERROR;
        else if (rc == Z_BUF_ERROR && zs.avail_in == 0 && inLeft > 0)
            rc = Z_OK;
    }
    const std::string detail = zs.msg ? zs.msg : "";
    inflateEnd(&zs);
    // Bytes after the end of the stream are ignored; a stream that stops early is an error.
    switch (rc) {
    case Z_STREAM_END:
        break;
    case Z_BUF_ERROR:
        throw ContainerError("damaged task container (the compressed data ends early)");
    case Z_MEM_ERROR:
        throw ContainerError("damaged task container (it inflates to more than " + std::to_string(kMaxInflated >> 20) +
                             " MB)");
    default:
        throw ContainerError("damaged task container (the compressed data is corrupt" +
                             (detail.empty() ? std::string() : ": " + detail) + ")");
    }

    lines = text::splitLines(plain);
}

namespace {
// InflateLines with the file's name in its error.
void inflateFile(std::string_view packed, const std::string& fileName, std::vector<std::string>& lines)
{
    try {
        InflateLines(packed, lines);
    } catch (const ContainerError& e) {
        throw ContainerError(fileName + ": " + e.what());
    }
}
} // namespace

void LoadCompressedLines(const std::string& fileName, std::vector<std::string>& lines)
{
    std::string packed;
    if (!files::tryReadAll(fileName, packed))
        throw ContainerError("Cannot open " + fileName);
    inflateFile(packed, fileName, lines);
}

bool startsAsZlibStream(std::string_view bytes)
{
    if (bytes.size() < 2)
        return false;
    const unsigned cmf = static_cast<unsigned char>(bytes[0]), flg = static_cast<unsigned char>(bytes[1]);
    const bool deflate = (cmf & 0x0F) == 8 && (cmf >> 4) <= 7;
    const bool presetDictionary = (flg & 0x20) != 0;  // never written by the store
    return deflate && !presetDictionary && (cmf * 256 + flg) % 31 == 0;
}

TEncryptInifile::TEncryptInifile(std::string fileName) : fileName_(std::move(fileName))
{
    std::string packed;
    // A file that is missing, unreadable or not a zlib stream is plain INI text.
    if (!files::tryReadAll(fileName_, packed) || (!packed.empty() && !startsAsZlibStream(packed))) {
        plain_ = std::make_unique<TIniFile>(fileName_);
        return;
    }
    // One that starts as a stream is a container; if it is damaged it is refused here, so
    // nothing can write plain text over what is left of it.
    inflateFile(packed, fileName_, lines_);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (blankLine(lines_[i]))
            continue;
        try {
            lines_[i] = DecryptLine(lines_[i], storeKey());
        } catch (const ConversionError& e) {
            throw ConversionError(fileName_ + ": line " + std::to_string(i + 1) + " is not valid cipher text (" +
                                  e.what() + ")");
        }
    }
}

TEncryptInifile::~TEncryptInifile()
{
    try {
        UpdateFile();
    } catch (...) {
    }
}

std::size_t TEncryptInifile::findKey(std::string_view section, std::string_view key, std::size_t& header) const
{
    const std::string s = text::toLower(text::trimView(section));
    const std::string k = text::toLower(text::trimView(key)) + "=";
    const std::string wanted = "[" + s + "]";
    header = npos;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (text::equalsNoCase(lines_[i], wanted)) {
            header = i;
            break;
        }
    if (header == npos)
        return npos;
    // The search runs on to the end of the list, past later section headers.
    for (std::size_t i = header + 1; i < lines_.size(); ++i)
        if (text::startsWithNoCase(text::trimView(lines_[i]), k))
            return i;
    return npos;
}

std::string TEncryptInifile::valueAt(std::size_t index, std::string_view key) const
{
    std::string_view t = text::trimView(lines_[index]);
    return std::string(t.substr(text::trimView(key).size() + 1));
}

std::string TEncryptInifile::ReadString(std::string_view section, std::string_view key, std::string_view def)
{
    if (plain_)
        return plain_->ReadString(section, key, def);
    std::size_t h;
    std::size_t i = findKey(section, key, h);
    return i == npos ? std::string(def) : valueAt(i, key);
}

int TEncryptInifile::ReadInteger(std::string_view section, std::string_view key, int def)
{
    if (plain_)
        return plain_->ReadInteger(section, key, def);
    std::size_t h;
    std::size_t i = findKey(section, key, h);
    if (i == npos)
        return def;
    int v;
    return text::parseInt32(text::toLower(valueAt(i, key)), v, false) ? v : def;
}

bool TEncryptInifile::ReadBool(std::string_view section, std::string_view key, bool def)
{
    if (plain_)
        return plain_->ReadBool(section, key, def);
    std::size_t h;
    std::size_t i = findKey(section, key, h);
    if (i == npos)
        return def;
    const std::string v = text::toLower(valueAt(i, key));
    int n;
    if (text::parseInt32(v, n, false))
        return n != 0;
    if (v == "true")
        return true;
    if (v == "false")
        return false;
    return def;
}

void TEncryptInifile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    if (plain_) {
        plain_->WriteString(section, key, value);
        return;
    }
    dirty_ = true;
    // A value never holds a line end: one would split the line and corrupt the file.
    const std::string v = text::oneLine(value);
    std::size_t h;
    std::size_t i = findKey(section, key, h);
    if (h == npos) {
        const std::string s = text::toLower(text::trimView(section));
        lines_.insert(lines_.begin(), std::string(key) + "=" + v);
        lines_.insert(lines_.begin(), "[" + s + "]");
    } else if (i != npos) {
        lines_[i] = text::toLower(text::trimView(key)) + "=" + v;
    } else {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(h) + 1, std::string(key) + "=" + v);
    }
}

void TEncryptInifile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TEncryptInifile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TEncryptInifile::UpdateFile()
{
    if (plain_ || lines_.empty() || !dirty_)
        return;
    std::vector<std::string> cipher;
    cipher.reserve(lines_.size());
    for (const auto& l : lines_)
        cipher.push_back(blankLine(l) ? l : EncryptLine(l, storeKey()));
    SaveCompressedLines(cipher, fileName_);
    dirty_ = false;
}

} // namespace tarvimo::store
