#include "engine/task_config.h"

#include "base/text.h"
#include "store/delimited.h"
#include "store/encrypt_inifile.h"
#include "store/schema.h"
#include "store/task_schema.h"

namespace tarvimo::engine {

namespace t = store::task;

void readTaskConfig(store::TEncryptInifile& ini, TaskConfig& c)
{
    auto str = [&](const store::KeyDef& k) { return store::readString(ini, k); };
    auto num = [&](const store::KeyDef& k) { return store::readInt(ini, k); };
    auto flag = [&](const store::KeyDef& k) { return store::readBool(ini, k); };

    c.tasktypes = num(t::tasktypes);
    c.taktype = num(t::taktype);
    c.cookie = text::trim(str(t::Cookie));
    c.noValue = num(t::NOvalue);
    c.autoSaveNo = flag(t::autoSaveNo);
    c.nowNo = num(t::NowNO);

    c.urlbegin = str(t::urlbegin);
    c.urlkeyword = str(t::urlkeyword);
    c.urlpagebegin = str(t::urlpagebegin);
    c.urlpageend = str(t::urlpageend);
    c.urlgetall = flag(t::urlgetall);
    c.urlinc = num(t::urlinc);
    c.allWords = str(t::lb_urlallword);
    c.getWords = str(t::lb_urlgetword);
    c.urlreplace = flag(t::urlReplace);
    c.urlKeywordOrinal = str(t::urlkeywordOrinal);
    c.urlKeywordNow = str(t::urlkeywordNow);
    c.extraUrls = store::splitDelimited(str(t::URLlist), ',');
    c.urlfilterword = flag(t::urlfilterword);
    c.filterWords = str(t::lb_urlfilterword);
    c.useChild = flag(t::UrlKeywordUseChild);
    c.childWords = str(t::UrlKeywordChild);
    c.unionUrl = flag(t::urlUnionUrlWord);
    c.unionWords = str(t::lb_urlUnionUrlWord);

    c.listfile = str(t::listfile);
    c.listuse = flag(t::listuse);
    c.listanaly = flag(t::listanaly);
    c.listAnalyfile = str(t::listAnalyfile);
    c.listUseKeyword = flag(t::listUseKeyword);
    c.listKeyWord = store::splitDelimited(str(t::listKeyWord), ',');
    c.listKeywordReplace = flag(t::listKeywordReplace);
    c.listKeyWordOld = str(t::listKeyWordOld);
    c.listKeyWordNew = str(t::listKeyWordNew);

    c.ruleDelimiter = store::ruleDelimiter(str(t::ruleSplit));
    c.ruleloop = flag(t::ruleloop);

    c.getFrame = flag(t::getFrame);
    c.frameKeyWord = str(t::frameKeyWord);
    c.charType = num(t::charType);
    c.autogetCharType = flag(t::autogetCharType);
    c.useGetNews = flag(t::UseGetNews);
    c.taskCol = num(t::taskCol);
    c.autogetmainURL = flag(t::autogetmainURL);
    c.getmainURL = str(t::getmainURL);
    c.getType = flag(t::getType);
    c.urlScan = flag(t::urlScan);
    c.news.toDir = str(t::NewsToDir);
    c.news.saveContent = flag(t::newsSaveContent);
    c.news.downPhoto = flag(t::newsDownPhoto);
    c.news.pictureDir = flag(t::newsPictureDir);
    c.news.autoRename = flag(t::newsAutoRename);
    c.news.templateFile = str(t::NewsTemplete);
    c.news.autoFileExt = flag(t::newsAutoFileExt);
    c.news.fileExt = str(t::newsFileExt);
    c.news.displayStyle = num(t::tpdzStyle);

    c.nextSerial = c.noValue;
    if (c.autoSaveNo && c.nowNo > c.nextSerial)
        c.nextSerial = c.nowNo;
    const auto all = store::splitDelimited(c.allWords, ',');
    const auto get = store::splitDelimited(c.getWords, ',');
    const bool sameWords = all == get;
    if (sameWords)
        c.allWords.clear(), c.getWords.clear();
    c.directMode = c.tasktypes == 2 || (c.tasktypes == 0 && sameWords);
    c.pageAddressForced = c.taskCol < 1 && c.useGetNews;
}

} // namespace tarvimo::engine
