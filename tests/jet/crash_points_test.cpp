// Every crash point of every kind of write, tried in turn: a program of ours (crash_point) runs
// one statement and ends itself at its Nth change to a file, for every N the statement makes.
// The file it leaves must be readable by mdbtools and mdb-reader as it stands (they know nothing
// of our journal), showing the table as it was before the statement or after it, and so must
// the file with only the first half of write N made (what a reader that takes no lock may read
// while that write is under way), and the file as a reader sees it that read each data page's
// header and row table before the statement and the rows after that stop; once our engine has
// opened the file, `tlw check` passes and the table is exactly as before or after. The same
// program fails each change with a full disk, an I/O error or a short write instead: the
// statement is refused with a numbered error and the file keeps the records before it.
#include "jet/base/bytes.h"
#include "jet/storage/format.h"
#include "support/readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

struct Kind {
    const char* name;
    const char* table;   // the table the statement changes (or makes)
    // A record that moves to a new row is shown twice, old and new, by readers that scan pages
    // between the write that places the new row and the one that marks the old deleted: two
    // places cannot change at one instant, and twice is chosen over not at all.
    bool may_show_both = false;
};

constexpr Kind kinds[] = {
    {"append", "Small"},          {"append-new-page", "Small"},  {"records-new-page", "Small"}, {"leaf-split", "Keys"},
    {"root-split", "Keys"},       {"memo", "Notes"},             {"update-in-place", "Small"},
    {"update-grows-row", "Small", true}, {"update-moves-row", "Small", true}, {"new-table", "Added"},
};

ProcessResult crash_point(std::vector<std::string> args) {
    args.insert(args.begin(), CRASH_POINT_PATH);
    return run_process(args);
}

// The changes a statement of `kind` makes on a copy of `base` when nothing stops it.
long count_changes(const fs::path& base, const Kind& kind, const fs::path& after) {
    fs::copy_file(base, after, fs::copy_options::overwrite_existing);
    const ProcessResult r = crash_point({"run", after.string(), kind.name, "0"});
    EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
    return r.out.rfind("changes ", 0) == 0 ? std::stol(r.out.substr(8)) : 0;
}

// The table as the independent readers see it; a table that is not there is nullopt.
struct Seen {
    std::optional<std::vector<TextRow>> mdbtools, mdb_reader;
    bool operator==(const Seen&) const = default;
};

// Every row of `part` is among `rows`.
bool holds(const std::optional<std::vector<TextRow>>& rows, const std::optional<std::vector<TextRow>>& part) {
    if (!rows || !part) return rows == part;
    return std::all_of(part->begin(), part->end(),
                       [&](const TextRow& r) { return std::find(rows->begin(), rows->end(), r) != rows->end(); });
}

bool shows_both(const Seen& now, const Seen& before, const Seen& after) {
    return holds(now.mdbtools, before.mdbtools) && holds(now.mdbtools, after.mdbtools) &&
           holds(now.mdb_reader, before.mdb_reader) && holds(now.mdb_reader, after.mdb_reader);
}

Seen seen_by_others(const fs::path& file, const std::string& table) {
    Seen s;
    const ProcessResult tables = run_process({"mdb-tables", "-1", file.string()});
    EXPECT_EQ(tables.exit_code, 0) << file << ": " << tables.err;
    if (tables.out.find(table + "\n") != std::string::npos) s.mdbtools = mdb_export(file.string(), table);
    const auto all = mdb_reader_tables(file.string());
    if (const auto it = all.find(table); it != all.end()) s.mdb_reader = it->second;
    return s;
}

std::string seen_by_us(const fs::path& file, const std::string& table) {
    const ProcessResult r = run_process({TLW_PATH, "dump", file.string(), table, "--csv"});
    return r.exit_code == 0 ? r.out : "(no table)";
}

std::string place(const Kind& kind, long n) { return std::string(kind.name) + ", stopped at change " + std::to_string(n); }

std::string bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// `stopped` as read by a reader that took each data page's header and row table from `before`
// and the rest of the page from `stopped`.
void write_stale_read(const fs::path& before, const fs::path& stopped, const fs::path& out) {
    const jet::Format& format = jet::Format::jet4_format();
    const std::string old = bytes_of(before);
    std::string now = bytes_of(stopped);
    for (std::size_t at = 0; at + format.page_size <= std::min(old.size(), now.size()); at += format.page_size) {
        const auto* page = reinterpret_cast<const std::uint8_t*>(old.data() + at);
        if (page[0] != 0x01 || now[at] != 0x01) continue;
        const std::size_t table_end = format.data_first_row_offset + 2u * jet::get_u16(page + format.data_row_count_offset);
        now.replace(at, table_end, old, at, table_end);
    }
    std::ofstream(out, std::ios::binary) << now;
}

fs::path set_up(const Kind& kind, const fs::path& dir) {
    const fs::path base = dir / "base.tlw";
    const ProcessResult r = crash_point({"setup", base.string(), kind.name});
    EXPECT_EQ(r.exit_code, 0) << kind.name << ": " << r.err;
    return base;
}

}  // namespace

TEST(CrashPoints, EveryStopLeavesTheTableBeforeOrAfterToEveryReader) {
    for (const Kind& kind : kinds) {
        const fs::path dir = fresh_dir(std::string("crash-") + kind.name);
        const fs::path base = set_up(kind, dir);
        const long changes = count_changes(base, kind, dir / "after.tlw");
        ASSERT_GT(changes, 0) << kind.name;
        const Seen before = seen_by_others(base, kind.table), after = seen_by_others(dir / "after.tlw", kind.table);
        const std::string ours_before = seen_by_us(base, kind.table), ours_after = seen_by_us(dir / "after.tlw", kind.table);
        ASSERT_NE(ours_before, ours_after) << kind.name << ": the statement changed nothing";
        for (long n = 1; n <= changes; ++n) {
            const fs::path file = dir / ("stopped-" + std::to_string(n) + ".tlw");
            fs::copy_file(base, file);
            const ProcessResult r = crash_point({"run", file.string(), kind.name, std::to_string(n)});
            ASSERT_EQ(r.exit_code, 86) << place(kind, n) << ": " << r.out << r.err;

            const auto readable = [&](const fs::path& f, const std::string& where) {
                const Seen now = seen_by_others(f, kind.table);   // before our engine opens it again
                EXPECT_TRUE(now == before || now == after || (kind.may_show_both && shows_both(now, before, after)))
                    << where << ": mdbtools or mdb-reader see the table neither as before nor as after";
            };
            readable(file, place(kind, n));
            // What a reader that takes no lock may read in the middle of that write.
            const fs::path torn = dir / ("torn-" + std::to_string(n) + ".tlw");
            fs::copy_file(base, torn);
            ASSERT_EQ(crash_point({"run", torn.string(), kind.name, std::to_string(n), "torn"}).exit_code, 86);
            readable(torn, place(kind, n) + ", half of it written");
            fs::remove(torn);
            fs::remove(torn.string() + "-journal");
            const fs::path stale = dir / ("stale-" + std::to_string(n) + ".tlw");
            write_stale_read(base, file, stale);
            readable(stale, place(kind, n) + ", read with the row tables of before");
            fs::remove(stale);

            const ProcessResult check = tlw_check(file.string());
            EXPECT_EQ(check.exit_code, 0) << place(kind, n) << ":\n" << check.out << check.err;
            const std::string ours = seen_by_us(file, kind.table);
            EXPECT_TRUE(ours == ours_before || ours == ours_after) << place(kind, n) << ":\n" << ours;
            fs::remove(file);
            fs::remove(file.string() + "-journal");
        }
        std::printf("%-17s %3ld crash points\n", kind.name, changes);
    }
}

TEST(DiskFaults, AFailedChangeIsRefusedWithItsNumberAndKeepsTheRecordsBefore) {
    struct FaultKind {
        const char* name;
        const char* number;
    };
    constexpr FaultKind faults[] = {{"enospc", "3026: "}, {"eio", "3043: "}, {"short", "3026: "}};
    for (const Kind& kind : kinds) {
        const fs::path dir = fresh_dir(std::string("fault-") + kind.name);
        const fs::path base = set_up(kind, dir);
        const long changes = count_changes(base, kind, dir / "after.tlw");
        const std::string before = seen_by_us(base, kind.table), after = seen_by_us(dir / "after.tlw", kind.table);
        for (const FaultKind& fault : faults) {
            for (long n = 1; n <= changes; ++n) {
                const std::string where = place(kind, n) + " by " + fault.name;
                const fs::path file = dir / ("failed-" + std::to_string(n) + ".tlw");
                fs::copy_file(base, file, fs::copy_options::overwrite_existing);
                const ProcessResult r = crash_point({"run", file.string(), kind.name, std::to_string(n), fault.name});
                if (r.exit_code == 0) {   // a store into the journal's mapping, which cannot fail
                    EXPECT_EQ(seen_by_us(file, kind.table), after) << where;
                    continue;
                }
                ASSERT_EQ(r.exit_code, 1) << where << ": " << r.out << r.err;
                EXPECT_EQ(r.out.rfind(fault.number, 0), 0u) << where << ": " << r.out;
                EXPECT_NE(r.out.find(file.string()), std::string::npos) << where << ": the message names no file";
                const ProcessResult check = tlw_check(file.string());
                EXPECT_EQ(check.exit_code, 0) << where << ":\n" << check.out;
                EXPECT_EQ(seen_by_us(file, kind.table), before) << where;
                fs::remove(file.string() + "-journal");
            }
        }
    }
}
