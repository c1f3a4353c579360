// Read speed: rows per second of a full scan of a 100k-row table, and microseconds per
// "SELECT * FROM RoundData WHERE Section = s And Table = t And Round > r" over 20k rows with
// and without an index, beside mdbtools (mdb-export) on the same files. Both sides produce
// every value of every row; each side's best of several runs counts.
// Usage: scan_bench [--format F] [DIR]   (its files go to DIR/tallimo_scan_bench, removed at
// the end; DIR defaults to the system's temp dir)
#include "bench_args.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/recordset.h"
#include "jet/table_write.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

jet::ColumnDesign col(const char* name, jet::ColumnType type, std::uint16_t size = 0) {
    jet::ColumnDesign c;
    c.name = name;
    c.type = type;
    if (size) c.size = size;
    c.allow_zero_length = true;
    return c;
}

void fill_big(const std::string& path, int rows) {
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    jet::TableDesign design{"Big",
                        {col("ID", jet::ColumnType::Long), col("Section", jet::ColumnType::Long),
                         col("Name", jet::ColumnType::Text, 30), col("Amount", jet::ColumnType::Double),
                         col("Stamp", jet::ColumnType::DateTime), col("Flag", jet::ColumnType::Boolean)},
                        {}};
    jet::create_table(*db, design);
    for (int done = 0; done < rows;) {
        jet::TableWrite w(*db, "Big");
        for (int k = 0; k < 5000 && done < rows; ++k, ++done)
            w.add({jet::Value::long_(done), jet::Value::long_(done % 26), jet::Value::text(fmt::format("Player {}", done)),
                   jet::Value::double_(done * 0.25), jet::Value::date(jet::DateTime{45000.5 + done % 100}),
                   jet::Value::boolean(done % 2 == 0)});
        w.commit();
    }
}

void fill_round_data(const std::string& path, const char* table, bool indexed) {
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    jet::TableDesign design{table,
                        {col("Section", jet::ColumnType::Long), col("Table", jet::ColumnType::Long),
                         col("Round", jet::ColumnType::Long), col("NSPair", jet::ColumnType::Long),
                         col("EWPair", jet::ColumnType::Long), col("LowBoard", jet::ColumnType::Long),
                         col("HighBoard", jet::ColumnType::Long)},
                        {}};
    if (indexed) design.indexes.push_back(jet::IndexDesign{"PrimaryKey", {{"Section"}, {"Table"}, {"Round"}}, true, true, false, true});
    jet::create_table(*db, design);
    jet::TableWrite w(*db, table);
    for (int s = 1; s <= 20; ++s)
        for (int t = 1; t <= 50; ++t)
            for (int r = 1; r <= 20; ++r)
                w.add({jet::Value::long_(s), jet::Value::long_(t), jet::Value::long_(r), jet::Value::long_(t),
                       jet::Value::long_(t), jet::Value::long_(r * 3 - 2), jet::Value::long_(r * 3)});
    w.commit();
}

double best_run_seconds(const std::string& command, int runs) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto t = Clock::now();
        if (std::system(command.c_str()) != 0) return -1;
        best = std::min(best, seconds_since(t));
    }
    return best;
}

double query_micros(const std::shared_ptr<jet::Database>& db, const char* table, int count, std::size_t& rows_seen) {
    std::mt19937 rng(7);
    rows_seen = 0;
    const auto t = Clock::now();
    for (int i = 0; i < count; ++i) {
        const auto s = rng() % 20 + 1, tb = rng() % 50 + 1, r = rng() % 20;
        auto rs = jet::RecordSet::open(
            db, fmt::format("SELECT * FROM {} WHERE Section = {} And Table = {} And Round > {}", table, s, tb, r));
        for (; !rs->at_end(); rs->move_next()) {
            (void)rs->field("LowBoard");
            ++rows_seen;
        }
    }
    return seconds_since(t) * 1e6 / count;
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    const auto args = parse_bench_args(argc, argv,
                                       "Usage: scan_bench [--format jet3|jet4|ace2007|ace2010|ace2016] [DIR]\n"
                                       "Builds two databases of that format (jet4 unless given) in "
                                       "DIR/tallimo_scan_bench (default: the temporary folder) and prints scan and "
                                       "query times.\n",
                                       status);
    if (!args) return status;
    // Our own folder inside the one given: only that is ever removed.
    const fs::path dir = args->dir / "tallimo_scan_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string big = (dir / ("big." + args->format)).string(), rounds = (dir / ("rounds." + args->format)).string();
    jet::create_database(big, args->version);
    jet::create_database(rounds, args->version);
    std::printf("building files in %s ...\n", dir.c_str());
    fill_big(big, 100000);
    fill_round_data(rounds, "RoundData", true);
    fill_round_data(rounds, "RoundDataPlain", false);

    auto db = jet::Database::open(big);
    const jet::TableDef def = *db->table_def("Big");
    double best = 1e9;
    std::size_t rows = 0, values = 0;
    for (int i = 0; i < 5; ++i) {
        rows = values = 0;
        const auto t = Clock::now();
        db->scan(def, [&](jet::RowId, const std::vector<jet::Value>& row) {
            ++rows;
            for (const jet::Value& v : row) values += !v.is_null();
            return true;
        });
        best = std::min(best, seconds_since(t));
    }
    const double export_s = best_run_seconds("mdb-export " + big + " Big > /dev/null", 3);
    const auto n = static_cast<double>(rows);
    std::printf("full scan, %zu rows (%zu values):   ours %.0f rows/s (%.1f ms)   mdb-export %.0f rows/s (%.1f ms)   "
                "ratio %.1fx\n", rows, values, n / best, best * 1e3, n / export_s, export_s * 1e3, export_s / best);

    auto rdb = jet::Database::open(rounds);
    std::size_t seen_indexed = 0, seen_plain = 0;
    const double indexed = query_micros(rdb, "RoundData", 5000, seen_indexed);
    const double plain = query_micros(rdb, "RoundDataPlain", 200, seen_plain);
    const double export_rounds = best_run_seconds("mdb-export " + rounds + " RoundData > /dev/null", 3);
    std::printf("SELECT ... WHERE Section = s And Table = t And Round > r over 20000 rows:\n"
                "  ours with index      %8.1f us/query (%.1f rows each)\n"
                "  ours without index   %8.1f us/query (%.1f rows each)\n"
                "  mdb-export of the whole table           %8.0f us\n",
                indexed, static_cast<double>(seen_indexed) / 5000, plain, static_cast<double>(seen_plain) / 200, export_rounds * 1e6);
    fs::remove_all(dir);
    return 0;
}
