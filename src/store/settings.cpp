#include "store/settings.h"

#include "base/files.h"
#include "base/text.h"

#include <algorithm>
#include <climits>

namespace tarvimo::store::settings {


TIniFile open(const std::string& path) { return TIniFile(path, kFileMode); }

int clampToRange(const KeyDef& k, int value)
{
    if (k.min == 0 && k.max == 0)
        return value;
    return std::clamp(value, k.min, k.max);
}

std::string defaultLogFile(const std::string& settingsPath)
{
    // The system keeps its log "beside the program"; here that is the Tarvimo home, the
    // folder holding the settings file.
    return text::utf8ToGbk(files::joinPath(files::dirName(settingsPath), keys::logFile.def));
}

FetcherSettings readFetcherSettings(const std::string& path)
{
    TIniFile ini = open(path);
    FetcherSettings s;
    s.http10 = readInt(ini, keys::proxyType) > 0;
    s.timeoutMs = static_cast<long>(readInt(ini, keys::timeoutFetcher)) * 1000L;
    const int mb = readInt(ini, keys::maxPageMB);
    s.maxBodyBytes = static_cast<std::size_t>(mb >= 1 && mb <= 4096 ? mb : keys::maxPageMB.defInt()) << 20;
    if (!text::parseInt32(readString(ini, keys::tryCountFetcher), s.tryCount, true))
        s.tryCount = keys::tryCountFetcher.defInt();
    ProxyConfig& p = s.proxy;
    p.use = readBool(ini, keys::useProxy);
    if (p.use) {
        p.host = readString(ini, keys::proxyServer);
        p.port = readInt(ini, keys::proxyPort);
        std::string user = readString(ini, keys::proxyUser);
        if (!text::trimView(user).empty()) {
            p.user = std::move(user);
            p.password = readString(ini, keys::proxyPassword);
            p.basicAuth = true;
        }
    }
    return s;
}

StartupSettings readStartupSettings(const std::string& path)
{
    TIniFile ini = open(path);
    StartupSettings s;
    s.maxTaskCount = readInt(ini, keys::maxTaskCount);
    s.toolTipDisplayMs = static_cast<int>(std::clamp<long long>(
        static_cast<long long>(readInt(ini, keys::hinthindPause)) * 1000, 0, INT_MAX));
    s.showText = readBool(ini, keys::showText);
    s.showGrid = readBool(ini, keys::showGrid);
    s.minHide = readBool(ini, keys::minHide);
    return s;
}

EmailLookupSettings readEmailLookupSettings(const std::string& path)
{
    TIniFile ini = open(path);
    return {readBool(ini, keys::getEmail), readBool(ini, keys::emailFromName)};
}

int readRunFrameThreadCount(const std::string& path)
{
    TIniFile ini = open(path);
    return readInt(ini, keys::threadCountRunFrame);
}

int readTaskMasterThreadCount(const std::string& path)
{
    TIniFile ini = open(path);
    return readInt(ini, keys::threadCountTaskMaster);
}

DbKindSettings readDbKind(const std::string& path)
{
    TIniFile ini = open(path);
    return {readInt(ini, keys::dbType), readString(ini, keys::dbConnectStr)};
}

OracleSettings readOracleSettings(const std::string& path)
{
    TIniFile ini = open(path);
    return {readString(ini, keys::oracleServer), readString(ini, keys::oracleUser),
            readString(ini, keys::oraclePassword)};
}

MySqlSettings readMySqlSettings(const std::string& path)
{
    TIniFile ini = open(path);
    return {readString(ini, keys::mysqlServer), readString(ini, keys::mysqlUser),
            readString(ini, keys::mysqlPassword), readString(ini, keys::mysqlDatabase),
            readString(ini, keys::mysqlPort)};
}

void writeDbKind(const std::string& path, const DbKindSettings& s)
{
    TIniFile ini = open(path);
    writeInt(ini, keys::dbTypeWritten, s.dbType);
    writeString(ini, keys::dbConnectStr, s.connectStr);
}

void writeOracleSettings(const std::string& path, const OracleSettings& s)
{
    TIniFile ini = open(path);
    writeInt(ini, keys::dbTypeWritten, 3);
    writeString(ini, keys::oracleServer, s.serverName);
    writeString(ini, keys::oracleUser, s.userName);
    writeString(ini, keys::oraclePassword, s.password);
}

void writeMySqlSettings(const std::string& path, const MySqlSettings& s)
{
    TIniFile ini = open(path);
    writeInt(ini, keys::dbTypeWritten, 4);
    writeString(ini, keys::mysqlServer, s.serverName);
    writeString(ini, keys::mysqlUser, s.userName);
    writeString(ini, keys::mysqlPassword, s.password);
    writeString(ini, keys::mysqlDatabase, s.database);
    writeString(ini, keys::mysqlPort, s.port);
}

void writeFormStyle(const std::string& path, int style, std::string_view skinFile)
{
    TIniFile ini = open(path);
    writeInt(ini, keys::formStyle, style);
    if (style == 0)
        writeString(ini, keys::formStyleFile, skinFile);
}

void writeSystemProxy(const std::string& path, bool enabled, std::string_view host, std::string_view port)
{
    TIniFile ini = open(path);
    writeBool(ini, keys::useProxy, enabled);
    if (enabled) {
        writeString(ini, keys::proxyServer, host);
        writeString(ini, keys::proxyPortText, port);
    }
}

} // namespace tarvimo::store::settings
