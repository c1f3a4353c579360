// Opens a database from arbitrary bytes, reads its catalog, every table definition, every
// row and the properties, runs a SELECT with a WHERE on each table and moves a record set
// through it. Errors must be JetErrors; anything else (crash, sanitizer report, other
// exception, hang) is a finding.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/query.h"
#include "jet/recordset.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void exercise(const std::shared_ptr<jet::Database>& shared) {
    jet::Database& db = *shared;
    std::vector<jet::CatalogEntry> catalog = db.catalog();
    if (catalog.size() > 64) catalog.resize(64);
    for (const jet::CatalogEntry& entry : catalog) {
        if (!entry.is_table()) continue;
        try {
            const jet::TableDef def = *db.table_def_at(entry.tdef_page(), entry.name);
            std::size_t rows = 0;
            db.scan(def, [&](jet::RowId, const std::vector<jet::Value>&) { return ++rows < 5000; });
            if (entry.is_user_table()) {
                (void)db.properties(entry.name);
                if (!def.columns.empty() && entry.name.find_first_of("[]") == std::string::npos &&
                    def.columns[0].name.find_first_of("[]") == std::string::npos) {
                    const std::string select = "SELECT * FROM [" + entry.name + "] WHERE [" + def.columns[0].name +
                                               "] = 1 And [" + def.columns.back().name + "] > 0";
                    (void)jet::run_query(db, select);
                }
                auto records = jet::RecordSet::open(shared, "[" + entry.name + "]");
                for (int n = 0; n < 50 && !records->at_end(); ++n) {
                    (void)records->field(def.columns.empty() ? "x" : def.columns[0].name);
                    records->move_next();
                }
            }
        } catch (const jet::JetError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = memfd_create("open_fuzz", 0);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    try {
        auto db = jet::Database::open(path);
        exercise(db);
    } catch (const jet::JetError&) {
    }
    close(fd);
    return 0;
}
