#include "output/sql_text.h"

#include "base/text.h"

#include <algorithm>
#include <charconv>

namespace tarvimo::output {

SqlDialect SqlDialect::of(int dbType, std::string_view connectionString)
{
    SqlDialect d;
    d.kind = dbType;
    d.access = dbType == kAccess || (dbType < kOracle && connectionString.find(".mdb") != std::string_view::npos);
    return d;
}

std::string SqlDialect::tableName(std::string_view name) const
{
    if (bracketsNames())
        return "[" + std::string(name) + "]";
    return std::string(name);
}

namespace {

// The length before the first "(" of an entry; 255 when there is none or it is no number.
long long entryLength(const std::string& entry)
{
    const auto open = entry.find('(');
    if (open == std::string::npos)
        return 255;
    const std::string_view digits = text::trimView(std::string_view(entry).substr(0, open));
    long long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return 255;
    return value;
}

long long sizeClass(long long length)
{
    if (length <= 255)
        return 255;
    if (length <= 2000)
        return 2000;
    if (length <= 4000)
        return 4000;
    if (length <= 6000)
        return 6000;
    if (length <= 8000)
        return 8000;
    return 10000;
}

} // namespace

std::string columnTypeText(const SqlDialect& dialect, const std::string* entry, bool recordMissing)
{
    if (recordMissing)
        return " varchar(255), ";
    const long long length = entry ? entryLength(*entry) : 8000;
    if (dialect.access)
        return length <= 255 ? " varchar(255), " : " Ntext, ";
    const long long s = sizeClass(length);
    if (dialect.kind == kMySql) {
        // A MySQL row holds at most 64 KB of varchar, so longer columns are text columns.
        if (s <= 255)
            return " varchar(255), ";
        return s <= 8000 ? " text, " : " mediumtext, ";
    }
    if (s > 8000)
        return " Ntext, ";
    if (dialect.kind == kOracle)
        return " VARCHAR2(" + std::to_string(std::min<long long>(s, 4000)) + "), ";
    return " varchar(" + std::to_string(s) + "), ";
}

std::string createdColumnName(int index)
{
    return (index <= 9 ? "col0" : "col") + std::to_string(index);
}

std::vector<int> createdColumns(int lastCandidate, int colFrom, int colTo)
{
    std::vector<int> out;
    for (int n = std::max(0, colFrom); n <= lastCandidate && n <= colTo && n <= 255; ++n)
        out.push_back(n);
    return out;
}

std::string createTableText(const SqlDialect& dialect, std::string_view table, const std::vector<int>& columns,
                            const std::vector<std::string>* lengthRecord)
{
    std::string columnsText;
    for (int n : columns) {
        const std::string* entry = nullptr;
        if (lengthRecord && n >= 0 && static_cast<std::size_t>(n) < lengthRecord->size())
            entry = &(*lengthRecord)[static_cast<std::size_t>(n)];
        columnsText += createdColumnName(n) + columnTypeText(dialect, entry, lengthRecord == nullptr);
    }
    if (columnsText.size() >= 2)
        columnsText.resize(columnsText.size() - 2);
    std::string sql = "Create Table " + dialect.tableName(table) + "( " + columnsText + " )";
    // MySQL servers may default to a single-byte character set; the rows are Chinese.
    if (dialect.kind == kMySql)
        sql += " default charset=utf8mb4";
    return sql;
}

std::string insertText(std::string_view table, const std::vector<std::string>& fields, std::size_t rows)
{
    std::string names;
    for (const std::string& f : fields)
        names += f + " , ";
    if (names.size() >= 2)
        names.resize(names.size() - 2);
    std::string sql = "insert into " + std::string(table) + "( " + names + " ) values";
    std::size_t number = 1;
    for (std::size_t r = 0; r < rows; ++r) {
        std::string params;
        for (std::size_t k = 0; k < fields.size(); ++k)
            params += ":p" + std::to_string(number++) + " , ";
        if (params.size() >= 2)
            params.resize(params.size() - 2);
        sql += (r ? ",(" : "(") + params + ")";
    }
    return sql;
}

std::optional<std::string> unsafeName(std::string_view name)
{
    if (text::trimView(name).empty())
        return std::string("名称不能为空");
    for (std::size_t i = 0; i < name.size(); i += text::charLen(name, i)) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F || c == '\'' || c == '"' || c == '[' || c == ']' || c == ';' || c == '`')
            return "名称 \"" + text::gbkToUtf8(name) + "\" 含有引号、方括号、分号、反引号或控制字符，不能用于数据库";
    }
    return std::nullopt;
}

} // namespace tarvimo::output
