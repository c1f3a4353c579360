// Record sets as the simulator uses them: dynasets on a SELECT, rows in index order, field
// access by name, the old engine's errors, and values read afresh on each move so that changes
// by another program show. (Index order and field names in any case are run through by the
// simulator's tests and `tlw sql`'s; rows of a table name in stored order by loading_test.)
#include "db/database.h"
#include "jet/base/error.h"
#include "jet/creator.h"
#include "jet/database.h"
#include "jet/execute.h"
#include "jet/recordset.h"
#include "support/child_process.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using testsupport::error_number;

fs::path club_copy(const std::string& name) {
    return testsupport::copy_fixture("scoring/club-evening.tlw", testsupport::fresh_dir(name));
}

// The cheap existence test answers as a record set's end test does, through an index or by a
// scan, and fails as opening the record set would.
TEST(RecordSet, AnyRecordAgreesWithAnOpenedRecordSet) {
    db::Database d = db::Database::open(club_copy("rs_any").string());
    for (const char* where : {"Section = 2 And Table = 3 And Round > 4", "Section = 2 And Table = 3 And Round > 7",
                              "Section = 1 And Table = 30", "Round = 2 And NSPair > 0",
                              "Round = 9 And NSPair > 0", "(Section = 1) Or 1 = 0"}) {
        SCOPED_TRACE(where);
        const std::string select = std::string("SELECT * FROM RoundData WHERE ") + where;
        EXPECT_EQ(d.any_record(select), !d.open_recordset(select).at_end());
    }
    EXPECT_FALSE(d.any_record("SELECT * FROM ReceivedData"));
    EXPECT_TRUE(d.any_record("Section"));
    EXPECT_EQ(error_number([&] { d.any_record("SELECT * FROM Nowhere WHERE Round = 1"); }), jet::err::TableNotFound);
    EXPECT_EQ(error_number([&] { d.any_record("SELECT * FROM RoundData WHERE Nothing = 1"); }),
              jet::err::TooFewParameters);
}

TEST(RecordSet, IndexedAndScannedAnswersAgree) {
    auto engine = jet::Database::open(club_copy("rs_agree").string());
    for (const char* where : {"Section = 1 And Table = 8", "Section = 1 And Table = 2 And Round >= 7",
                              "Section = 2 And Table = 1 And Round < 3", "Section = 1 And Round = 2",
                              "Section = 2 And Table = 5 And Round > 2 And Round <= 4 And NSPair > 0",
                              // Reversed, an OR and a column against a column among the conjuncts.
                              "Section = 2 And Table = 3 And 3 < Round", "Section = 2 And (Table = 1 Or Table = 3) And Round > 5",
                              "Section = 1 And Round = Table"}) {
        SCOPED_TRACE(where);
        auto indexed = jet::RecordSet::open(engine, std::string("SELECT * FROM RoundData WHERE ") + where);
        // The same condition written so that no index can serve it.
        auto scanned = jet::RecordSet::open(engine, std::string("SELECT * FROM RoundData WHERE (") + where + ") Or 1 = 0");
        EXPECT_FALSE(scanned->index_used());
        std::multiset<std::tuple<long, long, long>> a, b;
        for (; !indexed->at_end(); indexed->move_next())
            a.emplace(jet::to_long(indexed->field("Section")), jet::to_long(indexed->field("Table")), jet::to_long(indexed->field("Round")));
        for (; !scanned->at_end(); scanned->move_next())
            b.emplace(jet::to_long(scanned->field("Section")), jet::to_long(scanned->field("Table")), jet::to_long(scanned->field("Round")));
        EXPECT_EQ(a, b);
        EXPECT_FALSE(a.empty());
    }
}

// A scan passes over rows whose stored integer differs from an equality of the condition
// without decoding them; it must select exactly what evaluating every row selects, Nulls,
// literals a column cannot hold and both file versions included.
TEST(RecordSet, ScansSelectWhatEvaluatingEveryRowSelects) {
    for (const jet::FileVersion version : {jet::FileVersion::Jet3, jet::FileVersion::Jet4}) {
        const fs::path file = testsupport::fresh_dir("rs_stored_equalities") / "t.mdb";
        jet::create_database(file.string(), version);
        auto engine = jet::Database::open(file.string(), jet::PageFile::Access::ReadWrite);
        jet::TableDesign design;
        design.name = "T";
        for (const auto& [name, type] : {std::pair{"B", jet::ColumnType::Byte}, std::pair{"I", jet::ColumnType::Integer},
                                         std::pair{"L", jet::ColumnType::Long}, std::pair{"X", jet::ColumnType::Text}}) {
            jet::ColumnDesign column;
            column.name = name;
            column.type = type;
            design.columns.push_back(column);
        }
        jet::create_table(*engine, design);
        const jet::Value null;
        const std::vector<std::vector<jet::Value>> rows = {
            {jet::Value::byte(7), jet::Value::integer(-2), jet::Value::long_(70000), jet::Value::text("a")},
            {jet::Value::byte(0), jet::Value::integer(0), jet::Value::long_(0), null},
            {null, null, null, jet::Value::text("a")},
            {jet::Value::byte(255), jet::Value::integer(32767), jet::Value::long_(-70000), jet::Value::text("b")},
            {jet::Value::byte(7), jet::Value::integer(-32768), jet::Value::long_(70000), jet::Value::text("b")},
        };
        for (const auto& r : rows)
            jet::append_record(*engine, "T", {{"B", r[0]}, {"I", r[1]}, {"L", r[2]}, {"X", r[3]}});
        for (const char* where : {"B = 7", "I = -2", "L = 70000", "B = 7 And L = 70000 And X = 'b'", "B = 0",
                                  "I = 0 And L = 0", "L = 7e4", "I = 2.5", "B = 300", "B = -1", "L = 3000000000",
                                  "I = Null", "B = 7 And Not I = -2", "255 = B", "I = -32768"}) {
            SCOPED_TRACE(where);
            auto quick = jet::RecordSet::open(engine, std::string("SELECT * FROM T WHERE ") + where);
            // Under an OR no equality holds for the whole condition: every row is evaluated.
            auto full = jet::RecordSet::open(engine, std::string("SELECT * FROM T WHERE (") + where + ") Or 1 = 0");
            std::vector<jet::RowId> a, b;
            for (; !quick->at_end(); quick->move_next()) a.push_back(quick->current_row());
            for (; !full->at_end(); full->move_next()) b.push_back(full->current_row());
            EXPECT_EQ(a, b);
        }
        EXPECT_EQ(jet::RecordSet::open(engine, "SELECT * FROM T WHERE B = 7")->record_count(), 2u);
    }
}

TEST(RecordSet, MovesAndErrorsUsersOfTheOldEngineKnow) {
    db::Database d = db::Database::open(club_copy("rs_errors").string());
    db::RecordSet rs = d.open_recordset("Section");
    const jet::JetError e = testsupport::error_of([&] { rs.field("Lettre"); });
    EXPECT_EQ(e.number(), jet::err::ItemNotFound);
    EXPECT_EQ(e.description(), "Item not found in this collection.");
    rs.move_last();
    EXPECT_EQ(rs.field("Letter"), jet::Value::text("B"));
    rs.move_next();
    EXPECT_TRUE(rs.at_end());
    EXPECT_EQ(error_number([&] { rs.field("Letter"); }), jet::err::NoCurrentRecord);
    rs.move_first();
    EXPECT_EQ(rs.field("Letter"), jet::Value::text("A"));
    EXPECT_EQ(error_number([&] { d.open_recordset("SELECT * FROM Nowhere"); }), jet::err::TableNotFound);
}

TEST(RecordSet, ValuesAreReadWhenMovingOntoARow) {
    const fs::path file = club_copy("rs_fresh");
    db::Database reader = db::Database::open(file.string());
    db::RecordSet rs = reader.open_recordset("SELECT * FROM Tables WHERE Section = 1");
    ASSERT_FALSE(rs.at_end());
    // Another connection changes the rows after the record set opened.
    db::Database writer = db::Database::open(file.string());
    EXPECT_EQ(writer.execute("UPDATE Tables SET Status = 5 WHERE Section = 1"), 8);
    rs.move_next();
    EXPECT_EQ(jet::to_long(rs.field("Status")), 5);
}

}  // namespace
