#include "store/schema.h"

#include "base/text.h"

namespace tarvimo::store {

int KeyDef::defInt() const
{
    int v = 0;
    text::parseInt32(def, v, false);
    return v;
}

std::string KeyDef::defText() const { return text::gbk(def); }

std::string readString(IniStore& ini, const KeyDef& k)
{
    std::string v = ini.ReadString(k.section, k.key, k.defText());
    return k.type == ValueType::Trimmed ? text::trim(v) : v;
}

int readInt(IniStore& ini, const KeyDef& k) { return ini.ReadInteger(k.section, k.key, k.defInt()); }

bool readBool(IniStore& ini, const KeyDef& k) { return ini.ReadBool(k.section, k.key, k.defBool()); }

void writeString(IniStore& ini, const KeyDef& k, std::string_view value) { ini.WriteString(k.section, k.key, value); }

void writeInt(IniStore& ini, const KeyDef& k, int value) { ini.WriteInteger(k.section, k.key, value); }

void writeBool(IniStore& ini, const KeyDef& k, bool value) { ini.WriteBool(k.section, k.key, value); }

} // namespace tarvimo::store
