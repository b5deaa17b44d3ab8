// DefaultSet.ini: the application-wide settings. There is no settings object in memory:
// every reader opens the file, reads the keys it needs with its own default and closes
// it, so a saved value takes effect the next time a reader runs. A missing file, section
// or key gives the reader's default; nothing is created until a writer runs.
//
// The file lives in the Tarvimo home (home::settingsPath(home)), the folder that plays the
// part of "the program folder" everywhere. It holds passwords, so a writer that creates
// it makes it readable and writable by its owner only. Section and key names match
// without regard to letter case; all stored text is GBK.
#pragma once

#include "store/schema.h"
#include "store/tinifile.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tarvimo::store::settings {

// Permission of a newly created settings file.
inline constexpr mode_t kFileMode = 0600;

// The plain INI store on the settings file, creating it with kFileMode when written.
TIniFile open(const std::string& path);

// The stored form of an empty password in section "default".
inline constexpr std::string_view kEmptyPasswordStored = "0000000000000000";
// Tool-tip delay before showing; the display time comes from hinthindPause.
inline constexpr int kToolTipDelayMs = 200;

// The key table. Where readers of one key use different defaults there is one entry per
// reader, named after it; each entry spells the key the way its reader or writer does.
namespace keys {

using VT = ValueType;

// Section "default" (general options).
// The main window's reader; the options dialog always shows and writes 3 (range 3..3).
inline constexpr KeyDef maxTaskCount{"default", "maxTaskCount", VT::Integer, "5"};
inline constexpr KeyDef maxTaskCountDialog{"default", "maxTaskCount", VT::Integer, "3", 3, 3};
inline constexpr KeyDef passProtect{"default", "passProtect", VT::Boolean, "0"};
inline constexpr KeyDef password{"default", "password", VT::String, ""};
// Seconds a tool tip stays visible.
inline constexpr KeyDef hinthindPause{"default", "hinthindPause", VT::Integer, "20", 5, 60};
inline constexpr KeyDef getEmail{"default", "getEmail", VT::Boolean, "1"};
inline constexpr KeyDef emailFromName{"default", "emailFromName", VT::Boolean, "1"};
inline constexpr KeyDef autoall{"default", "autoall", VT::Boolean, "1"};

// Section "other".
inline constexpr KeyDef minHide{"other", "minHide", VT::Boolean, "0"};
inline constexpr KeyDef bringtotop{"other", "bringtotop", VT::Boolean, "0"};
inline constexpr KeyDef quitSaveLog{"other", "quitSaveLog", VT::Boolean, "1"};
// The default is a name inside the Tarvimo home; see defaultLogFile().
inline constexpr KeyDef logFile{"other", "logFile", VT::String, "log.txt"};
// Text holding an integer; the dialog accepts 1..3, hand-edited values pass unchecked.
inline constexpr KeyDef XbMailDepth{"other", "XbMailDepth", VT::String, "1", 1, 3};
inline constexpr KeyDef XBMailOne{"other", "XBMailOne", VT::Boolean, "1"};
inline constexpr KeyDef useMusic{"other", "useMusic", VT::Boolean, "1"};
inline constexpr KeyDef musicIndex{"other", "musicIndex", VT::Integer, "0", 0, 4};
inline constexpr KeyDef musicFile{"other", "musicFile", VT::String, ""};
inline constexpr KeyDef showText{"other", "showText", VT::Boolean, "1"};
inline constexpr KeyDef showGrid{"other", "showGrid", VT::Boolean, "1"};

// Section "urltype" (fetching). searchDep is written under the spelling "urlType".
inline constexpr KeyDef searchDep{"urlType", "searchDep", VT::Integer, "1", 1, 1};
inline constexpr KeyDef timeoutDialog{"urltype", "timeout", VT::Integer, "10", 5, 180};
inline constexpr KeyDef timeoutFetcher{"urltype", "timeout", VT::Integer, "60"};
inline constexpr KeyDef threadCountDialog{"urltype", "threadCount", VT::Integer, "3", 1, 100};
inline constexpr KeyDef threadCountRunFrame{"urltype", "threadCount", VT::Integer, "3"};
inline constexpr KeyDef threadCountTaskMaster{"urltype", "threadcount", VT::Integer, "1"};
inline constexpr KeyDef tryCountDialog{"urltype", "tryCount", VT::Integer, "3", 1, 10};
// Largest page body a fetcher accepts, in MB; a larger answer counts as a failed request.
inline constexpr KeyDef maxPageMB{"urltype", "maxPageMB", VT::Integer, "32"};
// The fetcher reads the attempts as text.
inline constexpr KeyDef tryCountFetcher{"urltype", "tryCount", VT::String, "3"};

// Section "proxy".
inline constexpr KeyDef useProxy{"proxy", "UseProxy", VT::Boolean, "0"};
inline constexpr KeyDef proxyServer{"proxy", "servername", VT::String, ""};
// The fetcher reads the port as an integer; the options dialog's box shows its text.
inline constexpr KeyDef proxyPort{"proxy", "port", VT::Integer, "8080"};
inline constexpr KeyDef proxyPortText{"proxy", "port", VT::String, "8080"};
inline constexpr KeyDef proxyUser{"proxy", "username", VT::String, ""};
inline constexpr KeyDef proxyPassword{"proxy", "password", VT::String, ""};
// Above 0: requests use HTTP/1.0. Nothing writes it.
inline constexpr KeyDef proxyType{"proxy", "type", VT::Integer, "0"};

// Section "DB" (the one database connection). Kinds: 0 SqlServer, 1 Access, 2 DB2,
// 3 Oracle, 4 MySql. Readers ask for "DbType", the dialogs write "DBType".
inline constexpr KeyDef dbType{"DB", "DbType", VT::Integer, "0", 0, 4};
inline constexpr KeyDef dbTypeWritten{"DB", "DBType", VT::Integer, "0", 0, 4};
inline constexpr KeyDef dbConnectStr{"DB", "DBConnectStr", VT::String, ""};
inline constexpr KeyDef oracleServer{"DB", "servername", VT::String, "server"};
inline constexpr KeyDef oracleUser{"DB", "username", VT::String, "system"};
inline constexpr KeyDef oraclePassword{"DB", "password", VT::String, "kelvora"};
inline constexpr KeyDef mysqlServer{"DB", "servername", VT::String, "localHost"};
inline constexpr KeyDef mysqlUser{"DB", "username", VT::String, "root"};
inline constexpr KeyDef mysqlPassword{"DB", "password", VT::String, ""};
inline constexpr KeyDef mysqlDatabase{"DB", "database", VT::String, "mysql"};
inline constexpr KeyDef mysqlPort{"DB", "port", VT::String, "3306"};

// Section "userSet" (window style; written only, so no reader default).
inline constexpr KeyDef formStyle{"userSet", "formStyle", VT::Integer, "1"};
inline constexpr KeyDef formStyleFile{"userSet", "formStyleFile", VT::String, ""};

} // namespace keys

// The value clamped into the entry's range (unchanged when the entry has none).
int clampToRange(const KeyDef& k, int value);

// The log file shown when none is stored: "log.txt" in the folder of the settings file,
// i.e. the Tarvimo home. GBK text.
std::string defaultLogFile(const std::string& settingsPath);

// ---- Readers ------------------------------------------------------------------------

struct ProxyConfig {
    bool use = false;          // UseProxy
    std::string host;          // GBK
    int port = 8080;
    std::string user;          // as stored; set only when it is not blank
    std::string password;      // set with user
    bool basicAuth = false;    // true when the trimmed user name is not empty
};

// What a page fetcher reads each time it builds an HTTP connection.
struct FetcherSettings {
    long timeoutMs = 60000;    // connect and read time-out: urltype/timeout × 1000
    int tryCount = 3;          // attempts per page (read as text; not a number -> 3)
    bool http10 = false;       // proxy/type > 0
    std::size_t maxBodyBytes = 32u << 20;  // urltype/maxPageMB (below 1: the default)
    ProxyConfig proxy;
};
FetcherSettings readFetcherSettings(const std::string& path);

// What the main window reads at start-up and before opening a task tab.
struct StartupSettings {
    int maxTaskCount = 5;
    int toolTipDisplayMs = 20000;   // hinthindPause × 1000
    bool showText = true;
    bool showGrid = true;
    bool minHide = false;
};
StartupSettings readStartupSettings(const std::string& path);

// The extraction engine's e-mail lookup switches.
struct EmailLookupSettings {
    bool getEmail = true;
    bool emailFromName = true;
};
EmailLookupSettings readEmailLookupSettings(const std::string& path);

// Number of fetch threads as stored (the caller applies its own limits).
int readRunFrameThreadCount(const std::string& path);
int readTaskMasterThreadCount(const std::string& path);

// Section "DB". Texts are GBK.
struct DbKindSettings {
    int dbType = 0;
    std::string connectStr;    // connection string of kinds 0..2
};
struct OracleSettings {
    std::string serverName;    // database (service) name
    std::string userName;
    std::string password;
};
struct MySqlSettings {
    std::string serverName;    // host name
    std::string userName;
    std::string password;
    std::string database;
    std::string port;
};
DbKindSettings readDbKind(const std::string& path);
OracleSettings readOracleSettings(const std::string& path);
MySqlSettings readMySqlSettings(const std::string& path);

// ---- Writers ------------------------------------------------------------------------
// Each value reaches the file at once; a failed write throws files::FileError.

// Writes DBType and DBConnectStr.
void writeDbKind(const std::string& path, const DbKindSettings& s);
// Writes DBType = 3 and the three Oracle values.
void writeOracleSettings(const std::string& path, const OracleSettings& s);
// Writes DBType = 4 and the five MySQL values.
void writeMySqlSettings(const std::string& path, const MySqlSettings& s);

// The window style: 0 custom skin (skinFile written too), 1 none, 2 XP style.
void writeFormStyle(const std::string& path, int style, std::string_view skinFile = {});

// The start-up copy of the system proxy: UseProxy, and when enabled servername and port
// as given (GBK text).
void writeSystemProxy(const std::string& path, bool enabled, std::string_view host = {},
                      std::string_view port = {});

} // namespace tarvimo::store::settings
