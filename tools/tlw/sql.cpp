// `tlw sql FILE "STATEMENT"`: runs one statement. SELECT prints the rows as CSV with a header
// line; UPDATE and INSERT INTO print the number of records they changed (the database is open
// for writing meanwhile, its .ldb lock file held).
#include "commands.h"
#include "value_text.h"

#include "jet/database.h"
#include "jet/execute.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "jet/storage/lock_file.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

void print_select(jet::Database& db, jet::sql::SelectStmt& select) {
    jet::StatementScope scope(db.file(), jet::StatementLock::Mode::Shared);
    const jet::TableDef table = *db.table_def(select.table);
    std::vector<jet::sql::ColumnInfo> infos;
    std::string header;
    for (const jet::Column& c : table.columns) {
        infos.push_back({c.name, c.type});
        header += (header.empty() ? "" : ",") + tlw::csv_field(c.name);
    }
    if (select.where) jet::sql::bind(*select.where, infos);
    std::printf("%s\n", header.c_str());
    db.scan(table, [&](jet::RowId, const std::vector<jet::Value>& values) {
        if (select.where && !jet::sql::matches(*select.where, jet::sql::ValuesRow(values))) return true;
        std::string line;
        for (std::size_t i = 0; i < values.size(); ++i) line += (i ? "," : "") + tlw::csv_value(values[i]);
        std::printf("%s\n", line.c_str());
        return true;
    });
}

}  // namespace

void add_sql_command(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    auto statement = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("sql", "Run one SELECT (prints the rows as CSV), UPDATE or INSERT INTO ... VALUES "
                                          "(prints the number of records changed).");
    cmd->add_option("FILE", *path, "the database file (.mdb, .tlw)")->required();
    cmd->add_option("STATEMENT", *statement, "the SQL statement")->required();
    cmd->callback([path, statement] {
        jet::sql::Statement stmt = jet::sql::parse_sql(*statement);
        if (auto* select = std::get_if<jet::sql::SelectStmt>(&stmt)) {
            auto db = jet::Database::open(*path, jet::PageFile::Access::ReadOnly);
            print_select(*db, *select);
            return;
        }
        auto db = jet::Database::open(*path, jet::PageFile::Access::ReadWrite);
        std::printf("%ld\n", jet::execute(*db, *statement));
    });
}
