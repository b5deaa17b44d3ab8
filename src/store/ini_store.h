// The key/value view shared by the plain and the encrypted INI store. Sections and keys
// are GBK text matched without regard to letter case and surrounding blanks; reads never
// fail (a missing key or an unconvertible value gives the caller's default).
#pragma once

#include <string>
#include <string_view>

namespace tarvimo::store {

class IniStore {
public:
    virtual ~IniStore() = default;
    virtual std::string ReadString(std::string_view section, std::string_view key, std::string_view def) = 0;
    virtual int ReadInteger(std::string_view section, std::string_view key, int def) = 0;
    virtual bool ReadBool(std::string_view section, std::string_view key, bool def) = 0;
    virtual void WriteString(std::string_view section, std::string_view key, std::string_view value) = 0;
    virtual void WriteInteger(std::string_view section, std::string_view key, int value) = 0;
    virtual void WriteBool(std::string_view section, std::string_view key, bool value) = 0;
};

} // namespace tarvimo::store
