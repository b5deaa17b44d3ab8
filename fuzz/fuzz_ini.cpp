// INI text through both stores: the plain store parses it from a file, the encrypted store
// is given the same text as a container, and both are asked for keys and written to.
#include "base/files.h"
#include "base/text.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string scratchFile()
{
    static const std::string path = "/tmp/tarvimo-fuzz-ini-" + std::to_string(::getpid());
    return path;
}

// Printable ASCII without the characters that have a meaning in an INI line.
bool ordinaryName(const std::string& s, const char* special)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c <= ' ' || c > '~' || std::strchr(special, c))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tarvimo;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first line names the section and key to look up.
    auto nl = input.find('\n');
    std::string_view probe = nl == std::string_view::npos ? input : input.substr(0, nl);
    auto eq = probe.find('=');
    std::string section(probe.substr(0, eq == std::string_view::npos ? probe.size() : eq));
    std::string key(eq == std::string_view::npos ? "" : probe.substr(eq + 1));

    const std::string path = scratchFile();
    files::writeAtomic(path, input);
    store::TIniFile plain(path);
    std::string v = plain.ReadString(section, key, "d");
    // A value is cut from one line of the input, or is the default.
    if (v != "d" && v.size() > size)
        __builtin_trap();
    plain.ReadInteger(section, key, 1);
    plain.ReadSections();
    plain.WriteString(section, key, "value");
    // Whatever the file held, a value written under an ordinary name reads back.
    if (ordinaryName(section, "[]") && ordinaryName(key, "=;[") && plain.ReadString(section, key, "") != "value")
        __builtin_trap();

    // The same text as a container, so the encrypted store's lookup sees it too.
    auto lines = text::splitLines(input);
    for (auto& l : lines)
        if (!text::trimView(l).empty())
            l = store::EncryptLine(l, store::storeKey());
    store::SaveCompressedLines(lines, path);
    try {
        store::TEncryptInifile enc(path);
        enc.ReadString(section, key, "");
        enc.ReadBool(section, key, true);
        enc.WriteString(section, key, "x");
        if (ordinaryName(section, "[]") && ordinaryName(key, "=;[") && enc.ReadString(section, key, "") != "x")
            __builtin_trap();
        enc.WriteString("new", key, "y");
    } catch (const store::ConversionError&) {
    }
    ::unlink(path.c_str());
    return 0;
}
