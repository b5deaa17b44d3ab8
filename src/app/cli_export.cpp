// `tarvimo-cli export`: a rows file (as run, search and the automatic save write it)
// loaded into a grid and exported as the export dialog does, with the dialog's messages
// on standard error. The database is the one section DB of DefaultSet.ini configures.
#include "app/cli.h"

#include "app/cli_headless.h"
#include "app/cli_parser.h"
#include "base/files.h"
#include "base/home.h"
#include "base/text.h"
#include "output/db_interface.h"
#include "output/export_form.h"
#include "output/rows_file.h"

namespace tarvimo::cli {

namespace {

// "A-B" into its two texts; false when there is no "-" after the first character.
bool splitRange(const std::string& range, std::string& from, std::string& to)
{
    const std::size_t dash = range.find('-', 1);
    if (dash == std::string::npos)
        return false;
    from = range.substr(0, dash);
    to = range.substr(dash + 1);
    return true;
}

} // namespace

const CommandSpec& exportCommand()
{
    static const CommandSpec spec{
        "export",
        "export a rows file to a text file, a workbook or the configured database",
        {{"ROWS", "a rows file as run, search and the automatic save write it (GBK or UTF-8)"}},
        {{"text", OptionSpec::kText, "FILE", "write a text file (\".txt\" appended unless present)"},
         {"sep", OptionSpec::kText, "S", "the text file's field separator (default: one TAB)"},
         {"xlsx", OptionSpec::kText, "FILE", "write a workbook (\".xlsx\" appended unless present)"},
         {"db", OptionSpec::kText, "TABLE", "insert into TABLE of the database of DefaultSet.ini section DB"},
         {"new", OptionSpec::kFlag, "", "create TABLE first, one column per exported grid column"},
         {"map", OptionSpec::kText, "TPL", "insert through a column-mapping template (.tpl)"},
         {"rows", OptionSpec::kText, "A-B", "grid rows A to B (default: every collected row)"},
         {"cols", OptionSpec::kText, "A-B", "grid columns A to B (default: 1 to the last column)"},
         {"titles", OptionSpec::kFlag, "", "write the column titles first (text and workbook)"}},
        {},
        "Exactly one of --text, --xlsx and --db. Grid row 0 holds the titles, rows 1.. the\n"
        "collected rows; column 0 is the serial number, which text and workbook always carry.\n"
        "Exit status 0 when the export completed, 1 on any failure, 2 for wrong usage.\n"};
    return spec;
}

int runExport(const std::vector<std::string>& args, const std::string& home, std::ostream& out, std::ostream& err)
{
    int status = kOk;
    const auto line = parseOrReport(exportCommand(), args, out, err, status);
    if (!line)
        return status;
    const int targets = line->has("text") + line->has("xlsx") + line->has("db");
    if (targets != 1)
        return usageError(exportCommand(), "give exactly one of --text, --xlsx and --db", err);
    if ((line->has("new") || line->has("map")) && !line->has("db"))
        return usageError(exportCommand(), "--new and --map go with --db", err);
    if (line->has("new") && line->has("map"))
        return usageError(exportCommand(), "--new and --map exclude each other", err);
    if (line->has("sep") && !line->has("text"))
        return usageError(exportCommand(), "--sep goes with --text", err);

    auto app = ensureApplication();
    run::ResultGrid grid;
    try {
        output::loadRowsFile(line->arguments[0], grid);
    } catch (const files::FileError& e) {
        err << "tarvimo-cli: " << e.what() << "\n";
        return kFileError;
    }

    const int kind = line->has("text") ? output::kTextFile : line->has("xlsx") ? output::kWorkbook : output::kDatabase;
    StreamMessages messages(err);
    output::TexportForm::Hooks hooks;
    const std::string file = line->has("text") ? line->value("text") : line->value("xlsx");
    hooks.saveFileName = [&](const std::string&) { return std::optional<std::string>(file); };
    hooks.openFile = [](const std::string&) { return true; };
    int lastPercent = -10;
    hooks.progress = [&](int position, int maximum) {
        const int percent = maximum > 0 ? static_cast<int>(100LL * position / maximum) : 100;
        if (percent / 10 != lastPercent / 10) {
            err << "tarvimo-cli: " << percent << "%\n";
            lastPercent = percent;
        }
    };
    output::TexportForm form(grid, kind, home::settingsPath(home), messages, nullptr, hooks);
    form.rowTo = std::to_string(grid.dataRowCount());
    if (line->has("rows") && !splitRange(line->value("rows"), form.rowFrom, form.rowTo))
        return usageError(exportCommand(), "--rows takes A-B", err);
    if (line->has("cols") && !splitRange(line->value("cols"), form.colFrom, form.colTo))
        return usageError(exportCommand(), "--cols takes A-B", err);
    form.withTitles = line->has("titles");
    if (line->has("sep"))
        form.separator = text::utf8ToGbk(line->value("sep"));

    if (kind == output::kDatabase) {
        const std::string table = text::utf8ToGbk(line->value("db"));
        form.useNewTable = line->has("new");
        form.newTableName = table;
        if (!form.useNewTable) {
            try {
                if (!form.connect())
                    return kFileError;
            } catch (const output::DbError& e) {
                messages.warning(std::string("连接失败！\r\n") + e.what());
                return kFileError;
            }
            for (std::size_t i = 0; i < form.tableList.size(); ++i)
                if (text::equalsNoCase(form.tableList[i], table))
                    form.checkTable(static_cast<int>(i));
            const bool mysql = form.dbType == output::kMySql;
            if (form.checkedTable() < 0 && !(mysql && line->has("map"))) {
                messages.warning("表 " + line->value("db") + " 在数据库中不存在");
                return kFileError;
            }
            if (line->has("map")) {
                std::vector<std::string> fields;
                std::string mapTable;
                if (!mysql) {
                    mapTable = form.tableList[static_cast<std::size_t>(form.checkedTable())];
                    try {
                        fields = form.tableFields(mapTable);
                    } catch (const output::DbError& e) {
                        messages.warning(e.what());
                        return kFileError;
                    }
                }
                output::TDBinterfaceForm mapping(mapTable, fields, form.mapping, messages, &grid);
                mapping.loadTemplate(line->value("map"));
                if (mysql)
                    mapping.tableBox = table;
                if (!mapping.confirm())
                    return kFileError;
            }
        }
    }
    form.save();
    return messages.warnings == 0 ? kOk : kFileError;
}

} // namespace tarvimo::cli
