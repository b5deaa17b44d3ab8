#include "directory/catalogue_rows.h"

#include "base/files.h"
#include "base/text.h"
#include "base/home.h"

namespace tarvimo::directory {

const std::vector<CatalogueRow>& catalogueRows()
{
    using F = KeywordForm;
    static const std::vector<CatalogueRow> rows = {
        {"D1", "hc360.dll", ".tak", F::GbkPercent, "/?w=", "&mc=enterprise&ee=1"},
        {"D2", "huangye.dll", ".dll", F::Utf8Form, "/search.html?kw=", "&type=company&page=1"},
        {"D3", "toocle.dll", "6.dll", F::Utf8Form, "/search/index.php?_d=company&_a=company_s_search&f=search&terms=",
         "&p=1"},
        {"D4", "m1688.dll", "5.dll", F::GbkBareHex, "/gongsi_search/-", ".html?beginPage=1"},
        {"D5", "qiyenet.dll", "1.dll", F::Utf8Form, "/search?k=", "&search_type=3&page=1"},
        {"D6", "zhuohi.dll", "4.dll", F::Utf16DashHex, "/results_T2__",
         "_1.html?urlBusinessModel=&urlHumanScale=&urlIncomeYear=&urlIncludeMobile=&urlIncludeLegalPerson="
         "&urlIncludeFax=&urlIncludePhone=&urlValidateSource=&urlIncludeEmail="},
        {"D7", "qy6.dll", "2.dll", F::Utf8Form, "/cse/search?q=", "&p=0&s="},
        {"D8", "56ye.dll", "3.dll", F::Utf8Form, "/search.php?kw=", "&page=1"},
        {"D9", "soqi.dll", "7.dll", F::Utf8Form, "/search.xhtml?keywords=", "&page=1&city=100000&regCapital=&search_type=1"},
        {"D10", "qiyegu.dll", "8.dll", F::Utf8Form, "/company/search.php?kw=", "&page=1"},
        {"D11", "shusheng.dll", "9.dll", F::Utf8Form, "/search?keywords=", "&search_type=3&page=1&$cid=0"},
        {"D12", "258.dll", "10.dll", F::Utf8Form, "/company/0/search/", "/p/1/"},
        {"S1", "single-baidu5858.dll", ".tak", F::BlankUtf8Form, "/s?wd=site%3A(", "&tn=baiduadv&ie=utf-8&pn=0"},
        {"S2", "single-edeng.dll", "1.dtp", F::Utf8Form, "/nf/c/G1C0R1/", "/1/"},
    };
    return rows;
}

const CatalogueRow* findRow(std::string_view label)
{
    for (const auto& row : catalogueRows())
        if (text::equalsNoCase(row.label, label))
            return &row;
    return nullptr;
}

std::vector<const CatalogueRow*> companionRows()
{
    std::vector<const CatalogueRow*> out;
    for (const auto& row : catalogueRows())
        if (row.label[0] == 'D' && std::string_view(row.label) != "D1")
            out.push_back(&row);
    return out;
}

std::string firstPageRequest(const engine::SiteCatalogue& catalogue, const CatalogueRow& row,
                             std::string_view encodedKeyword)
{
    // A base address written with a closing "/" must not double the path's first one.
    std::string url(text::trimView(catalogue.baseUrl(row.label)));
    while (url.ends_with('/'))
        url.pop_back();
    const std::string_view label = row.label;
    url += row.beforeKeyword;
    if (label == "S1")
        url += std::string(text::trimView(catalogue.value("S1", "domain"))) + ")";
    url += encodedKeyword;
    url += row.afterKeyword;
    if (label == "D7")
        url += text::trimView(catalogue.value("D7", "searchid"));
    return url;
}

std::string storedTaskPath(const std::string& home, std::string_view taskNameGbk, const CatalogueRow& row)
{
    return files::joinPath(home::taskFolder(home), text::gbkToUtf8(taskNameGbk) + row.suffix);
}

} // namespace tarvimo::directory
