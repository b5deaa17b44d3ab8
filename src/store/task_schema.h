// The task file: every section and key with its type and its run-time default, in one
// table. Readers use these entries (store::readInt(ini, task::urlinc) and so on) so that
// each default is written once, here.
#pragma once

#include "store/schema.h"

#include <span>
#include <string>

namespace tarvimo::store::task {

inline constexpr KeyDef taskname{"master", "taskname", ValueType::String, "", 0, 0};
inline constexpr KeyDef taskmainurl{"master", "taskmainurl", ValueType::String, "", 0, 0};
inline constexpr KeyDef taskremark{"master", "taskremark", ValueType::String, "", 0, 0};
inline constexpr KeyDef taskofclass{"master", "taskofclass", ValueType::String, "", 0, 0};
inline constexpr KeyDef tasktypes{"master", "tasktypes", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef tasktips{"master", "tasktips", ValueType::String, "", 0, 0};
inline constexpr KeyDef taktype{"master", "taktype", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef Cookie{"master", "Cookie", ValueType::Trimmed, "", 0, 0};
inline constexpr KeyDef taskAutoSave{"master", "taskAutoSave", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef taskAutoSavePL{"master", "taskAutoSavePL", ValueType::Integer, "10", 1, 100};
inline constexpr KeyDef taskAutoSaveName{"master", "taskAutoSaveName", ValueType::String, "", 0, 0};
inline constexpr KeyDef NOvalue{"master", "NOvalue", ValueType::Integer, "1", 0, 100000000};
inline constexpr KeyDef autoSaveNo{"master", "autoSaveNo", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef NowNO{"master", "NowNO", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef AdditionalTask{"master", "AdditionalTask", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef urlbegin{"url", "urlbegin", ValueType::String, "", 0, 0};
inline constexpr KeyDef urlkeyword{"url", "urlkeyword", ValueType::String, "", 0, 0};
inline constexpr KeyDef urlpagebegin{"url", "urlpagebegin", ValueType::String, "", 0, 0};
inline constexpr KeyDef urlpageend{"url", "urlpageend", ValueType::String, "", 0, 0};
inline constexpr KeyDef urlinc{"url", "urlinc", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef URLlist{"url", "URLlist", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef urlgetword{"url", "urlgetword", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef urlgetall{"url", "urlgetall", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef lb_urlallword{"url", "lb_urlallword", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef lb_urlgetword{"url", "lb_urlgetword", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef urlfilterword{"url", "urlfilterword", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef lb_urlfilterword{"url", "lb_urlfilterword", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef urlUnionUrlWord{"url", "urlUnionUrlWord", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef lb_urlUnionUrlWord{"url", "lb_urlUnionUrlWord", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef urlReplace{"url", "urlReplace", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef urlkeywordOrinal{"url", "urlkeywordOrinal", ValueType::String, "", 0, 0};
inline constexpr KeyDef urlkeywordNow{"url", "urlkeywordNow", ValueType::String, "", 0, 0};
inline constexpr KeyDef UrlKeywordUseChild{"url", "UrlKeywordUseChild", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef UrlKeywordChild{"url", "UrlKeywordChild", ValueType::String, "", 0, 0};
inline constexpr KeyDef scripts{"script", "scripts", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef scriptsclick{"script", "scriptsclick", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef scriptAutoGetobj{"script", "scriptAutoGetobj", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef scriptbegin{"script", "scriptbegin", ValueType::String, "", 0, 0};
inline constexpr KeyDef scriptend{"script", "scriptend", ValueType::String, "", 0, 0};
inline constexpr KeyDef scriptpagebegin{"script", "scriptpagebegin", ValueType::String, "", 0, 0};
inline constexpr KeyDef scriptpageend{"script", "scriptpageend", ValueType::String, "", 0, 0};
inline constexpr KeyDef scriptinc{"script", "scriptinc", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scriptindex{"script", "scriptindex", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scriptlabel{"script", "scriptlabel", ValueType::String, "", 0, 0};
inline constexpr KeyDef scriptclkcount{"script", "scriptclkcount", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scriptclkall{"script", "scriptclkall", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef scriptcurrentpage{"script", "scriptcurrentpage", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef scriptchildpage{"script", "scriptchildpage", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef cbx_scriptdelay{"script", "cbx_scriptdelay", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef scriptdelay{"script", "scriptdelay", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef scriptchildword{"script", "scriptchildword", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef scriptkeyword{"script", "scriptkeyword", ValueType::String, "", 0, 0};
inline constexpr KeyDef scripturlbegin{"script", "scripturlbegin", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scripturlend{"script", "scripturlend", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scriptchildinc{"script", "scriptchildinc", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef scriptcaheie{"script", "scriptcaheie", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef scriptgeturl{"script", "scriptgeturl", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef listfile{"list", "listfile", ValueType::String, "", 0, 0};
inline constexpr KeyDef listuse{"list", "listuse", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef listanaly{"list", "listanaly", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef listAnalyfile{"list", "listAnalyfile", ValueType::String, "", 0, 0};
inline constexpr KeyDef listUseKeyword{"list", "listUseKeyword", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef listKeyWord{"list", "listKeyWord", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef listKeywordReplace{"list", "listKeywordReplace", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef listKeyWordOld{"list", "listKeyWordOld", ValueType::String, "", 0, 0};
inline constexpr KeyDef listKeyWordNew{"list", "listKeyWordNew", ValueType::String, "", 0, 0};
inline constexpr KeyDef ruleSplit{"rule", "ruleSplit", ValueType::String, "^", 0, 0};
inline constexpr KeyDef rowcount{"rule", "rowcount", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef ruledata0{"rule", "ruledata0", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef ruledata1{"rule", "ruledata1", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef ruledata2{"rule", "ruledata2", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef ruledata3{"rule", "ruledata3", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef ruledata4{"rule", "ruledata4", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef ruledata5{"rule", "ruledata5", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef rulegetalldata{"rule", "rulegetalldata", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef rulesaveurl{"rule", "rulesaveurl", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef ruleloop{"rule", "ruleloop", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef rulehtml{"rule", "rulehtml", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef ruleUseIE{"rule", "ruleUseIE", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef ruleCase{"rule", "ruleCase", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef ruleloopword{"rule", "ruleloopword", ValueType::Marker, "", 0, 0};
inline constexpr KeyDef ruleloopFront{"rule", "ruleloopFront", ValueType::Marker, "", 0, 0};
inline constexpr KeyDef ruleloopHind{"rule", "ruleloopHind", ValueType::Marker, "", 0, 0};
inline constexpr KeyDef rulemid{"rule", "rulemid", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef rulemidstr{"rule", "rulemidstr", ValueType::Trimmed, "", 0, 0};
inline constexpr KeyDef ruleAutoMid{"rule", "ruleAutoMid", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef rulechinadata{"rule", "rulechinadata", ValueType::String, "", 0, 0};
inline constexpr KeyDef ruleendata{"rule", "ruleendata", ValueType::String, "", 0, 0};
inline constexpr KeyDef rulewordbegin{"rule", "rulewordbegin", ValueType::Marker, "", 0, 0};
inline constexpr KeyDef rulewordend{"rule", "rulewordend", ValueType::Marker, "", 0, 0};
inline constexpr KeyDef charType{"SuperSet", "charType", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef autogetCharType{"SuperSet", "autogetCharType", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef ClearChar{"SuperSet", "ClearChar", ValueType::CommaList, ":,：,“,*", 0, 0};
inline constexpr KeyDef autogettime{"SuperSet", "autogettime", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef getType{"SuperSet", "getType", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef superset_data1{"SuperSet", "data1", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef superset_data2{"SuperSet", "data2", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef data3{"SuperSet", "data3", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef TableName{"SuperSet", "TableName", ValueType::String, "", 0, 0};
inline constexpr KeyDef UrlCheck{"SuperSet", "UrlCheck", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef useSect{"SuperSet", "useSect", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef getFrame{"SuperSet", "getFrame", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef frameKeyWord{"SuperSet", "frameKeyWord", ValueType::String, "", 0, 0};
inline constexpr KeyDef autoRedirect{"SuperSet", "autoRedirect", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef autogetmainURL{"SuperSet", "autogetmainURL", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef getmainURL{"SuperSet", "getmainURL", ValueType::String, "", 0, 0};
inline constexpr KeyDef xzzf{"SuperSet", "xzzf", ValueType::Integer, "8000", 1, 999999999};
inline constexpr KeyDef tpdzStyle{"SuperSet", "tpdzStyle", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef urlScan{"SuperSet", "urlScan", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef filteritem{"SuperSet", "filteritem", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef Filter{"SuperSet", "Filter", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef infoCalUnion{"SuperSet", "infoCalUnion", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef infoCalReplace{"SuperSet", "infoCalReplace", ValueType::RuleList, "", 0, 0};
inline constexpr KeyDef autogetclass{"SuperSet", "autogetclass", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef outClassdefaultName{"SuperSet", "outClassdefaultName", ValueType::String, "其他", 0, 0};
inline constexpr KeyDef UseGetNews{"SuperSet", "UseGetNews", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef NewsToDir{"SuperSet", "NewsToDir", ValueType::String, "", 0, 0};
inline constexpr KeyDef taskCol{"SuperSet", "taskCol", ValueType::Integer, "0", 0, 100};
inline constexpr KeyDef newsPictureDir{"SuperSet", "newsPictureDir", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef newsSaveContent{"SuperSet", "newsSaveContent", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef newsDownPhoto{"SuperSet", "newsDownPhoto", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef newsAutoRename{"SuperSet", "newsAutoRename", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef NewsTemplete{"SuperSet", "NewsTemplete", ValueType::String, "", 0, 0};
inline constexpr KeyDef clearJavascript{"SuperSet", "clearJavascript", ValueType::Boolean, "1", 0, 0};
inline constexpr KeyDef newsAutoFileExt{"SuperSet", "newsAutoFileExt", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef newsFileExt{"SuperSet", "newsFileExt", ValueType::String, ".jpg", 0, 0};
inline constexpr KeyDef autotask{"schedule", "autotask", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef autorunsystem{"schedule", "autorunsystem", ValueType::Boolean, "1", 0, 0};
// The start-up scan of automatic runs reads this key with its own default.
inline constexpr KeyDef autorunsystemAtStartup{"schedule", "autorunsystem", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef autorunAttime{"schedule", "autorunAttime", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef autorunTime{"schedule", "autorunTime", ValueType::String, "10:00", 0, 0};
inline constexpr KeyDef autoruncount{"schedule", "autoruncount", ValueType::Integer, "0", 0, 0};
inline constexpr KeyDef autorunPauseTime{"schedule", "autorunPauseTime", ValueType::Integer, "1", 0, 0};
inline constexpr KeyDef autoClear{"schedule", "autoClear", ValueType::Boolean, "0", 0, 0};
inline constexpr KeyDef autoClearCount{"schedule", "autoClearCount", ValueType::String, "1000", 0, 0};
inline constexpr KeyDef autorunTableName{"schedule", "autorunTableName", ValueType::String, "", 0, 0};
inline constexpr KeyDef schedule_data0{"schedule", "data0", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef schedule_data1{"schedule", "data1", ValueType::CommaList, "", 0, 0};
inline constexpr KeyDef schedule_data2{"schedule", "data2", ValueType::CommaList, "", 0, 0};

// The built-in vocabulary of rule information types, used when the settings file holds none.
inline constexpr std::string_view kInfoTypes[] = {
    "", "E-mail类型", "URL类型", "多媒体类型", "IP地址", "附加类型", "常量", "文章类型", "关联地址类型", "运行次数",
};

// The headers (item 0) of the six rule columns ruledata0 ... ruledata5.
inline constexpr std::string_view kRuleColumnHeaders[] = {
    "中文名称", "英文名称", "前标识符", "后标识符", "信息类型", "保留Html代码",
};

// Every entry above, in table order.
std::span<const KeyDef* const> allKeys();

// `taskAutoSaveName` when the file holds none: the home folder's "AutoSaveData" folder
// plus the task name (GBK).
std::string defaultAutoSaveName(const std::string& home, std::string_view taskName);

} // namespace tarvimo::store::task
