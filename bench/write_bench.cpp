// Write throughput: records appended per second into a table with a primary key and a
// secondary index (each record stored before the next is made), and UPDATEs per second that
// set one Boolean and one Long field of a record found by its primary key.
// Usage: write_bench [--format F] [DIR]   (a fresh database per run, in DIR or /tmp)
#include "bench_args.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

jet::TableDesign bench_table() {
    auto column = [](const char* name, jet::ColumnType type, std::uint16_t size = 50) {
        jet::ColumnDesign c;
        c.name = name;
        c.type = type;
        c.size = size;
        return c;
    };
    jet::TableDesign design;
    design.name = "Results";
    design.columns = {column("ID", jet::ColumnType::Long),
                      column("Section", jet::ColumnType::Long),
                      column("Board", jet::ColumnType::Long),
                      column("Contract", jet::ColumnType::Text, 10),
                      column("Score", jet::ColumnType::Long),
                      column("Processed", jet::ColumnType::Boolean)};
    design.columns[0].autonumber = true;
    design.indexes = {{"PrimaryKey", {{"ID"}}, true},
                    {"SectionBoard", {{"Section"}, {"Board"}}}};
    return design;
}

void run(const BenchArgs& args, int records, int updates) {
    const std::string path = (args.dir / ("write_bench_" + std::to_string(records) + "." + args.format)).string();
    std::filesystem::remove(path);
    jet::create_database(path, args.version);
    auto db = jet::Database::open(path, jet::PageFile::Access::ReadWrite);
    jet::create_table(*db, bench_table());

    auto start = Clock::now();
    for (int i = 0; i < records; ++i)
        jet::append_record(*db, "Results", {{"Section", jet::Value::long_(i % 26 + 1)},
                                            {"Board", jet::Value::long_(i % 36 + 1)},
                                            {"Contract", jet::Value::text("3NT")},
                                            {"Score", jet::Value::long_(i * 10)}});
    const double append_s = seconds_since(start);
    std::printf("%7d records appended in %6.2f s: %8.0f records/s\n", records, append_s, records / append_s);

    start = Clock::now();
    for (int i = 0; i < updates; ++i) {
        const int id = (i * 7919) % records + 1;
        jet::execute(*db, "UPDATE Results SET Processed = True, Score = " + std::to_string(i) +
                              " WHERE ID = " + std::to_string(id));
    }
    const double update_s = seconds_since(start);
    std::printf("%7d updates by primary key in %6.2f s: %8.0f updates/s (table of %d records)\n", updates, update_s,
                updates / update_s, records);
    std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
    int status = 0;
    const auto args = parse_bench_args(argc, argv,
                                       "Usage: write_bench [--format jet3|jet4|ace2007|ace2010|ace2016] [DIR]\n"
                                       "Appends and updates records in a new database of that format (jet4 unless "
                                       "given) made in DIR (default: the temporary folder) and prints the rates.\n",
                                       status);
    if (!args) return status;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::filesystem::create_directories(args->dir);
    run(*args, 10000, 2000);
    run(*args, 100000, 2000);
}
