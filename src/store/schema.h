// One table entry per stored key: where it lives, what type it has and the default its
// reader uses. Every reader of a task or settings file goes through these entries, so no
// default is written as a literal anywhere else.
#pragma once

#include "store/ini_store.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::store {

enum class ValueType {
    String,     // text as stored
    Trimmed,    // text, trimmed when read
    Integer,    // decimal integer
    Boolean,    // 1/0 (any non-zero number is true)
    CommaList,  // comma-delimited list
    RuleList,   // list delimited by the task's rule delimiter
    Marker,     // marker text ("[#13+#10]" for a line break)
};

struct KeyDef {
    std::string_view section;
    std::string_view key;
    ValueType type;
    // The reader's default as UTF-8 source text; integers and booleans as decimal text.
    // Converted to GBK when read.
    std::string_view def;
    // Lower and upper bound of an integer value where the system states one (0/0: none).
    int min = 0;
    int max = 0;

    int defInt() const;
    bool defBool() const { return defInt() != 0; }
    std::string defText() const;  // the default as GBK
};

// Typed reads and writes through an entry.
std::string readString(IniStore& ini, const KeyDef& k);
int readInt(IniStore& ini, const KeyDef& k);
bool readBool(IniStore& ini, const KeyDef& k);
void writeString(IniStore& ini, const KeyDef& k, std::string_view value);
void writeInt(IniStore& ini, const KeyDef& k, int value);
void writeBool(IniStore& ini, const KeyDef& k, bool value);

} // namespace tarvimo::store
