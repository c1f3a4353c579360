// `tlw dump FILE [TABLE] [--json | --csv]`: the rows of the user tables (or one table) as
// text, CSV or one JSON object that scripts rely on (see value_text.h for the value forms):
// {"format": "jet3" | "jet4" | "ace", "version": "Access 2010 (ACE 14)", "tables": [...]}.
#include "commands.h"
#include "value_text.h"

#include "jet/base/error.h"
#include "jet/database.h"

#include <cstdio>
#include <fmt/format.h>
#include <string>

namespace {

std::vector<jet::CatalogEntry> selected_tables(jet::Database& db, const std::string& table) {
    if (table.empty()) return db.tables();
    const std::optional<jet::CatalogEntry> entry = db.find_table(table);
    if (!entry) (void)db.table_def(table);  // throws 3078
    return {*entry};
}

void dump_json(jet::Database& db, const std::vector<jet::CatalogEntry>& tables) {
    const char* format = db.format().jet3() ? "jet3" : db.format().ace ? "ace" : "jet4";
    std::string out = fmt::format("{{\"format\": \"{}\", \"version\": {}, \"tables\": [", format,
                                  tlw::json_string(db.version_name()));
    bool first_table = true;
    for (const jet::CatalogEntry& entry : tables) {
        const jet::TableDef def = *db.table_def_at(entry.tdef_page(), entry.name);
        out += first_table ? "\n" : ",\n";
        first_table = false;
        out += "{\"name\": " + tlw::json_string(def.name) + ", \"columns\": " + tlw::json_columns(def) +
               ", \"indexes\": " + tlw::json_indexes(def) + ", \"rows\": [";
        bool first_row = true;
        const tlw::FieldText text(db, def);
        db.scan(def, [&](jet::RowId, const std::vector<jet::Value>& values) {
            out += first_row ? "\n" : ",\n";
            first_row = false;
            out += '{';
            for (std::size_t k = 0; k < def.columns.size(); ++k) {
                if (k) out += ", ";
                out += tlw::json_string(def.columns[k].name) + ": " + text.json(k, values[k]);
            }
            out += '}';
            if (out.size() > (1u << 20)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
            return true;
        });
        out += "]}";
    }
    out += "]}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void dump_csv(jet::Database& db, const jet::CatalogEntry& entry) {
    const jet::TableDef def = *db.table_def_at(entry.tdef_page(), entry.name);
    std::string out;
    for (std::size_t k = 0; k < def.columns.size(); ++k) out += (k ? "," : "") + tlw::csv_field(def.columns[k].name);
    out += '\n';
    const tlw::FieldText text(db, def);
    db.scan(def, [&](jet::RowId, const std::vector<jet::Value>& values) {
        for (std::size_t k = 0; k < values.size(); ++k) out += (k ? "," : "") + text.csv(k, values[k]);
        out += '\n';
        if (out.size() > (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
        return true;
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

void add_dump_command(CLI::App& app) {
    auto* cmd = app.add_subcommand("dump", "Print the rows of every user table, or of one table");
    struct Options {
        std::string file, table;
        bool json = false, csv = false;
    };
    auto opt = std::make_shared<Options>();
    cmd->add_option("FILE", opt->file, "Jet or ACE database (.mdb, .tlw, .accdb)")->required();
    cmd->add_option("TABLE", opt->table, "Only this table (case-insensitive)");
    auto* json = cmd->add_flag("--json", opt->json, "One JSON object: format, tables with columns, indexes and rows");
    auto* csv = cmd->add_flag("--csv", opt->csv, "CSV with a header line (each table preceded by its name when "
                                                 "no TABLE is given)");
    json->excludes(csv);
    cmd->callback([opt] {
        auto db = jet::Database::open(opt->file);
        const std::vector<jet::CatalogEntry> tables = selected_tables(*db, opt->table);
        if (opt->json) return dump_json(*db, tables);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            if (opt->table.empty()) std::printf("%s[%s]\n", i ? "\n" : "", tables[i].name.c_str());
            std::fflush(stdout);
            dump_csv(*db, tables[i]);
        }
    });
}
