// The configuration a task master and its fetchers read from a task file, with the values
// derived from it at load time. Word lists stay in their stored comma-delimited form.
#pragma once

#include <string>
#include <vector>

namespace tarvimo::store {
class TEncryptInifile;
}

namespace tarvimo::engine {

// What article and media downloads do (`SuperSet` keys of article tasks).
struct NewsOptions {
    std::string toDir;           // NewsToDir, GBK as stored
    bool saveContent = true;     // newsSaveContent
    bool downPhoto = true;       // newsDownPhoto
    bool pictureDir = true;      // newsPictureDir: references as "image/" + name
    bool autoRename = false;     // newsAutoRename
    std::string templateFile;    // NewsTemplete, GBK as stored
    bool autoFileExt = false;    // newsAutoFileExt
    std::string fileExt = ".jpg";  // newsFileExt
    int displayStyle = 0;        // tpdzStyle
};

struct TaskConfig {
    // master
    int tasktypes = 0;
    int taktype = 0;
    std::string cookie;  // trimmed
    int noValue = 1;
    bool autoSaveNo = false;
    int nowNo = 1;
    // url
    std::string urlbegin, urlkeyword, urlpagebegin, urlpageend;
    bool urlgetall = true;
    int urlinc = 1;
    std::string allWords, getWords;  // lb_urlallword, lb_urlgetword
    bool urlreplace = false;
    std::string urlKeywordOrinal, urlKeywordNow;
    std::vector<std::string> extraUrls;  // URLlist
    bool urlfilterword = false;
    std::string filterWords;  // lb_urlfilterword
    bool useChild = false;
    std::string childWords;  // UrlKeywordChild
    bool unionUrl = false;
    std::string unionWords;  // lb_urlUnionUrlWord
    // list
    std::string listfile;
    bool listuse = true;
    bool listanaly = false;
    std::string listAnalyfile;
    bool listUseKeyword = false;
    std::vector<std::string> listKeyWord;
    bool listKeywordReplace = false;
    std::string listKeyWordOld, listKeyWordNew;
    // rule
    char ruleDelimiter = '^';
    bool ruleloop = false;
    // SuperSet
    bool getFrame = false;
    std::string frameKeyWord;
    int charType = 0;
    bool autogetCharType = false;
    bool useGetNews = false;
    int taskCol = 0;
    bool autogetmainURL = true;
    std::string getmainURL;
    bool getType = true;
    bool urlScan = false;
    NewsOptions news;

    // Derived.
    int nextSerial = 1;
    bool directMode = true;
    bool pageAddressForced = false;  // `rulesaveurl` is on because of `UseGetNews`
};

// Reads the master's configuration from an open task store; a value that does not parse
// takes its default. With `UseGetNews` set and `taskCol` below 1 the rows carry their page
// address (pageAddressForced), which the task records in its file when it starts.
void readTaskConfig(store::TEncryptInifile& ini, TaskConfig& config);

} // namespace tarvimo::engine
