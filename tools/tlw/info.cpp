// `tlw info FILE`: the format ("Access 2010 (ACE 14)"), page size and code page, then each user
// table with its row count (counted, not the stored statistic) and its indexes.
#include "commands.h"
#include "value_text.h"

#include "jet/database.h"

#include <cstdio>
#include <fmt/format.h>

void add_info_command(CLI::App& app) {
    auto* cmd = app.add_subcommand("info", "Show the format, page size, code page and tables of a database");
    auto file = std::make_shared<std::string>();
    cmd->add_option("FILE", *file, "Jet or ACE database (.mdb, .tlw, .accdb)")->required();
    cmd->callback([file] {
        auto db = jet::Database::open(*file);
        std::string out = fmt::format("File:      {}\nFormat:    {}\nPage size: {}\nPages:     {}\nCode page: {}\n",
                                      db->path(), db->version_name(),
                                      db->format().page_size, db->file().page_count(), db->code_page());
        const auto tables = db->tables();
        out += fmt::format("Tables:    {}\n", tables.size());
        for (const jet::CatalogEntry& entry : tables) {
            const jet::TableDef def = *db->table_def_at(entry.tdef_page(), entry.name);
            out += fmt::format("\n{}: {} rows, {} columns\n", def.name, db->count_rows(def), def.columns.size());
            for (const jet::LogicalIndex& li : def.logical_indexes) {
                std::string cols;
                for (const std::string& n : tlw::index_column_names(def, li.real_index)) cols += (cols.empty() ? "" : ", ") + n;
                const bool unique = li.real_index < def.real_indexes.size() && def.real_indexes[li.real_index].unique();
                out += fmt::format("  index {} ({}){}{}\n", li.name, cols,
                                   li.type == jet::LogicalIndexType::Primary ? " primary" : "",
                                   unique ? " unique" : "");
            }
        }
        std::fputs(out.c_str(), stdout);
    });
}
