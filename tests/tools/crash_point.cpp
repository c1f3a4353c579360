// Runs one statement of a chosen kind against a database and stops or fails it at the Nth
// change the engine makes to a file, for the crash-point tests:
//   crash_point setup FILE KIND          makes FILE a new database in which the next statement of
//                                        KIND is of that kind (a new page, a split, ...)
//   crash_point run FILE KIND N [FAULT]  runs it; at change N (counted from 1 over every write,
//                                        store into the journal's mapping, cut, flush and
//                                        allocation) ends the process with status 86, as a kill
//                                        would; given FAULT enospc, eio or short, fails that
//                                        change instead; given torn, makes the first half of a
//                                        write and then ends (what a reader that takes no lock
//                                        may read in the middle of that write). N 0: no stop.
//                                        Prints "changes C" when it ends by itself, and
//                                        "number: description" when the statement fails.
// This program links its own fault_before in place of the engine's.
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/storage/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

namespace {

enum class Fault { Stop, NoSpace, IoError, ShortWrite, Torn };

long stop_at = 0;   // 0: never
Fault fault = Fault::Stop;
long changes = 0;

}  // namespace

namespace jet {

FaultAnswer fault_before(const PendingChange& change) {
    if (++changes != stop_at) return {};
    const bool write = change.kind == FileChange::Write;
    switch (fault) {
    case Fault::Stop: ::_exit(86);
    case Fault::NoSpace: return {ENOSPC, 0};
    case Fault::IoError: return {EIO, 0};
    case Fault::ShortWrite: return {ENOSPC, write ? change.size / 2 : 0};
    case Fault::Torn:
        if (write && ::pwrite(change.fd, change.data, change.size / 2, change.at) < 0) ::_exit(2);
        ::_exit(86);
    }
    return {};
}

}  // namespace jet

namespace {

using jet::ColumnType;
using jet::Value;
namespace fs = std::filesystem;

jet::ColumnDesign column(const char* name, ColumnType type, std::uint16_t size = 50, bool autonumber = false) {
    jet::ColumnDesign c;
    c.name = name;
    c.type = type;
    c.size = size;
    c.autonumber = autonumber;
    return c;
}
jet::IndexDesign index(const char* name, const char* column, bool primary = false, bool unique = false) {
    jet::IndexDesign i;
    i.name = name;
    i.columns = {{column}};
    i.primary = primary;
    i.unique = unique;
    return i;
}

std::shared_ptr<jet::Database> open(const std::string& file) {
    return jet::Database::open(file, jet::PageFile::Access::ReadWrite);
}

// A key long enough that an index leaf holds a dozen of them, sorting in the order appended.
std::string long_key(long n) { return std::string(200, 'k') + std::to_string(100000 + n); }

void append_small(jet::Database& db, long n) {
    jet::append_record(db, "Small", {{"Score", Value::long_(static_cast<std::int32_t>(n))}, {"Label", Value::text("row")}});
}
void append_key(jet::Database& db, long n) { jet::append_record(db, "Keys", {{"K", Value::text(long_key(n))}}); }

void grow_record(jet::Database& db) {
    jet::execute(db, "UPDATE Small SET Label = '" + std::string(250, 'x') + "' WHERE ID = 2");
}

// The statement each kind runs.
const std::map<std::string, std::function<void(jet::Database&)>> statements = {
    {"append", [](jet::Database& db) { append_small(db, 7); }},
    {"append-new-page", [](jet::Database& db) { append_small(db, 7); }},
    {"records-new-page", [](jet::Database& db) {   // three records in one write, on one new page
         std::vector<jet::Fields> records;
         for (int n = 7; n < 10; ++n) records.push_back({{"Score", Value::long_(n)}, {"Label", Value::text("row")}});
         jet::append_records(db, "Small", records);
     }},
    {"leaf-split", [](jet::Database& db) { append_key(db, 999); }},
    {"root-split", [](jet::Database& db) { append_key(db, 999); }},
    {"memo", [](jet::Database& db) {
         jet::append_record(db, "Notes", {{"Note", Value::text(std::string(6000, 'm'))}});
     }},
    {"update-in-place", [](jet::Database& db) { jet::execute(db, "UPDATE Small SET Score = 42 WHERE ID = 2"); }},
    {"update-grows-row", grow_record},   // into a new row on its own page
    {"update-moves-row", grow_record},   // into a new row on another page
    {"new-table", [](jet::Database& db) {
         jet::create_table(db, {"Added",
                                {column("ID", ColumnType::Long, 0, true), column("Name", ColumnType::Text)},
                                {index("PrimaryKey", "ID", true)}});
     }},
};

void create(const std::string& file) {
    jet::create_database(file, jet::FileVersion::Jet4, true);
    auto db = open(file);
    jet::create_table(*db, {"Small",
                            {column("ID", ColumnType::Long, 0, true), column("Score", ColumnType::Long),
                             column("Label", ColumnType::Text, 255)},
                            {index("PrimaryKey", "ID", true), index("Score", "Score")}});
    jet::create_table(*db, {"Keys", {column("K", ColumnType::Text, 255)}, {index("K", "K", false, true)}});
    jet::create_table(*db, {"Notes", {column("ID", ColumnType::Long, 0, true), column("Note", ColumnType::Memo)},
                            {index("PrimaryKey", "ID", true)}});
    for (long n = 1; n <= 3; ++n) append_small(*db, n);
    jet::append_record(*db, "Notes", {{"Note", Value::text("short")}});
}

// Pages of each type in the file: a grown count tells what an append did.
struct PageTypes {
    long data = 0, index_nodes = 0, index_leaves = 0;
};
PageTypes page_types(const std::string& file) {
    auto db = jet::Database::open(file);
    PageTypes t;
    for (std::uint32_t p = 0; p < db->file().page_count(); ++p) {
        const jet::Bytes page = db->file().read_page(p);
        t.data += page[0] == 0x01;
        t.index_nodes += page[0] == 0x03;
        t.index_leaves += page[0] == 0x04;
    }
    return t;
}

// Appends with `append` (numbering on from `n`) until the next append would do what `wanted`
// recognises (tried on a copy each time), leaving FILE just before it.
void grow_until(const std::string& file, long& n, const std::function<void(jet::Database&, long)>& append,
                const std::function<bool(const PageTypes&, const PageTypes&)>& wanted) {
    const std::string trial = file + ".trial";
    for (const long end = n + 2000; n < end; ++n) {
        fs::copy_file(file, trial, fs::copy_options::overwrite_existing);
        append(*open(trial), n);
        const bool found = wanted(page_types(file), page_types(trial));
        fs::remove(trial);
        if (found) return;
        append(*open(file), n);
    }
    throw std::runtime_error("no append of the kind asked for within 2000 records");
}

bool more_data_pages(const PageTypes& a, const PageTypes& b) { return b.data > a.data; }
bool more_index_nodes(const PageTypes& a, const PageTypes& b) { return b.index_nodes > a.index_nodes; }
bool more_leaves_alone(const PageTypes& a, const PageTypes& b) {
    return b.index_leaves > a.index_leaves && b.index_nodes == a.index_nodes;
}

void setup(const std::string& file, const std::string& kind) {
    create(file);
    long n = 100;
    if (kind == "append-new-page" || kind == "records-new-page" || kind == "update-moves-row")   // the page full
        grow_until(file, n, append_small, more_data_pages);
    if (kind == "root-split") grow_until(file, n, append_key, more_index_nodes);
    if (kind == "leaf-split") {
        grow_until(file, n, append_key, more_index_nodes);
        append_key(*open(file), n++);
        grow_until(file, n, append_key, more_leaves_alone);
    }
}

int run(const std::string& file, const std::string& kind, long n, const std::string& fault_name) {
    stop_at = n;
    if (fault_name == "enospc") fault = Fault::NoSpace;
    else if (fault_name == "eio") fault = Fault::IoError;
    else if (fault_name == "short") fault = Fault::ShortWrite;
    else if (fault_name == "torn") fault = Fault::Torn;
    else if (!fault_name.empty()) throw std::runtime_error("unknown fault " + fault_name);
    try {
        auto db = open(file);
        statements.at(kind)(*db);
    } catch (const jet::JetError& e) {
        std::printf("%d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
    std::printf("changes %ld\n", changes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string verb = argc > 1 ? argv[1] : "";
        if (verb == "setup" && argc == 4 && statements.count(argv[3])) {
            setup(argv[2], argv[3]);
            return 0;
        }
        if (verb == "run" && (argc == 5 || argc == 6) && statements.count(argv[3]))
            return run(argv[2], argv[3], std::atol(argv[4]), argc == 6 ? argv[5] : "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "crash_point: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "usage: crash_point setup FILE KIND | run FILE KIND N [enospc|eio|short|torn]\n");
    return 2;
}
