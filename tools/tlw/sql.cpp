// `tlw sql FILE "STATEMENT"`: runs one statement. SELECT prints the rows as CSV with a header
// line, in the order a record set on the same statement gives them (index order where an index
// serves the condition); UPDATE and INSERT INTO print the number of records they changed (the
// database is open for writing meanwhile, its .ldb lock file held).
#include "commands.h"
#include "value_text.h"

#include "jet/database.h"
#include "jet/execute.h"
#include "jet/query.h"
#include "jet/storage/lock_file.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace {

void print_select(jet::Database& db, std::string_view select) {
    jet::StatementScope scope(db.file(), jet::StatementLock::Mode::Shared);
    const jet::QueryResult result = jet::run_query(db, select);
    const jet::TableDef& table = *result.table;
    std::string header;
    for (const jet::Column& c : table.columns) header += (header.empty() ? "" : ",") + tlw::csv_field(c.name);
    std::printf("%s\n", header.c_str());
    std::vector<jet::Value> values;
    const tlw::FieldText text(db, table);
    for (const jet::RowId id : result.rows) {
        if (!db.read_row(table, id, values)) continue;
        std::string line;
        for (std::size_t i = 0; i < values.size(); ++i) line += (i ? "," : "") + text.csv(i, values[i]);
        std::printf("%s\n", line.c_str());
    }
}

}  // namespace

void add_sql_command(CLI::App& app) {
    auto path = std::make_shared<std::string>();
    auto statement = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand("sql", "Run one SELECT (prints the rows as CSV), UPDATE or INSERT INTO ... VALUES "
                                          "(prints the number of records changed).");
    cmd->add_option("FILE", *path, "the database file (.mdb, .tlw, .accdb)")->required();
    cmd->add_option("STATEMENT", *statement, "the SQL statement")->required();
    cmd->callback([path, statement] {
        if (jet::is_select(*statement)) {
            auto db = jet::Database::open(*path, jet::PageFile::Access::ReadOnly);
            print_select(*db, *statement);
            return;
        }
        auto db = jet::Database::open(*path, jet::PageFile::Access::ReadWrite);
        std::printf("%ld\n", jet::execute(*db, *statement));
    });
}
