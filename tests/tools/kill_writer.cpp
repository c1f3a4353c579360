// A writer process for the sharing and crash tests, working on a copy of the club-evening
// scoring database. After each operation has been saved it prints one line and flushes, so a
// test that kills it or races it knows exactly what must be in the file afterwards:
//   kill_writer append FILE FIRST COUNT  appends ReceivedData records with Board = n
//                                        (FIRST <= n < FIRST+COUNT); prints "saved n"
//   kill_writer flags FILE COUNT         sets Processed1 on ReceivedData IDs 1..COUNT as they
//                                        appear, and counts Tables.Status up meanwhile;
//                                        prints "flagged id" and "status table value"
//   kill_writer mixed FILE FIRST         appends records in writes of 8 (one write keeps a kill
//                                        inside it for long enough to be hit), updates
//                                        Tables.Status (as flags) and the Processed flag of the
//                                        record before, until killed
#include "db/database.h"
#include "jet/base/error.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr long RecordsPerWrite = 8;

// Records FIRST .. FIRST+COUNT-1, stored in one write.
void append(db::Database& database, long first, long count = 1) {
    db::RecordSet rs = database.open_recordset("ReceivedData");
    for (long n = first; n < first + count; ++n) {
        rs.add_new();
        rs.set_field("Section", jet::Value::long_(static_cast<std::int32_t>(n % 2 + 1)));
        rs.set_field("Table", jet::Value::long_(static_cast<std::int32_t>(n % 8 + 1)));
        rs.set_field("Round", jet::Value::long_(static_cast<std::int32_t>(n % 7 + 1)));
        rs.set_field("Board", jet::Value::long_(static_cast<std::int32_t>(n)));
        rs.set_field("Contract", jet::Value::text("4S"));
        rs.set_field("Remarks", jet::Value::text("record " + std::to_string(n)));
        rs.hold();
    }
    rs.flush();
    for (long n = first; n < first + count; ++n) std::printf("saved %ld\n", n);
    std::fflush(stdout);
}

void set_status(db::Database& database, long value) {
    const long table = value % 8 + 1;
    database.execute("UPDATE Tables SET Status = " + std::to_string(value) +
                     " WHERE Section = 1 AND [Table] = " + std::to_string(table));
    std::printf("status %ld %ld\n", table, value);
    std::fflush(stdout);
}

int run(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc < 4 || (mode != "append" && mode != "flags" && mode != "mixed")) {
        std::fprintf(stderr, "usage: kill_writer append FILE FIRST COUNT | flags FILE COUNT | mixed FILE FIRST\n");
        return 2;
    }
    db::Database database = db::Database::open(argv[2]);
    if (mode == "append") {
        const long first = std::atol(argv[3]), count = argc > 4 ? std::atol(argv[4]) : 0;
        for (long n = first; n < first + count; ++n) append(database, n);
    } else if (mode == "flags") {
        const long count = std::atol(argv[3]);
        long status = 0;
        for (long id = 1; id <= count;) {
            if (database.execute("UPDATE ReceivedData SET Processed1 = True WHERE ID = " + std::to_string(id)) == 1) {
                std::printf("flagged %ld\n", id);
                std::fflush(stdout);
                ++id;
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));  // the appender is behind
            }
            set_status(database, ++status);
        }
    } else {
        for (long n = std::atol(argv[3]);; n += RecordsPerWrite) {
            append(database, n, RecordsPerWrite);
            set_status(database, n);
            database.execute("UPDATE ReceivedData SET Processed = True WHERE ID = " + std::to_string(n - 1));
        }
    }
    database.close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const jet::JetError& e) {
        std::fprintf(stderr, "%d: %s\n", e.number(), e.description().c_str());
        return 1;
    }
}
