// The rows of the directory-site catalogue: for each site the template it is collected
// with, the file the template is stored as, how the keyword is written into the site's
// search address and what that first-page request looks like. The hosts themselves are
// deployment values of sites.ini (engine::SiteCatalogue).
#pragma once

#include "directory/keyword_forms.h"
#include "engine/site_catalogue.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvimo::directory {

struct CatalogueRow {
    const char* label;         // D1 ... D12, S1, S2
    const char* templateName;  // the file fetched from the template server
    const char* suffix;        // task name + suffix = the stored task file
    KeywordForm form;
    const char* beforeKeyword; // the request after the base address: before K ...
    const char* afterKeyword;  // ... and after it
};

// Every row, in creation order: D1 ... D12, S1, S2.
const std::vector<CatalogueRow>& catalogueRows();
// The row of a label; null for an unknown one.
const CatalogueRow* findRow(std::string_view label);
// The companions made in the background, in their order: D2 ... D12.
std::vector<const CatalogueRow*> companionRows();

// The first-page request of a row for an encoded keyword: the base address of sites.ini,
// then the row's path and query with K inside (D7 adds the site's search identifier, S1
// restricts the web search to the directory domain).
std::string firstPageRequest(const engine::SiteCatalogue& catalogue, const CatalogueRow& row,
                             std::string_view encodedKeyword);

// The task file a row's template is stored as: home/Task/<name><suffix> (name GBK).
std::string storedTaskPath(const std::string& home, std::string_view taskNameGbk, const CatalogueRow& row);

} // namespace tarvimo::directory
