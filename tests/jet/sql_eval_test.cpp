// WHERE conditions run through record sets on the shared scoring and member databases (whose
// rows reader_compare_test matches value for value with mdbtools): the rows selected, Null
// logic, text and mixed-type comparison, unknown names. Whether an index or a scan answers is
// the engine's choice; recordset_test checks that the two agree.
#include "jet/base/error.h"
#include "jet/database.h"
#include "jet/recordset.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "support/fixtures.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <map>

using namespace jet;
using namespace jet::sql;
using testsupport::error_of;

namespace {

struct FixtureTable {
    std::string file, name;
};
const FixtureTable rd{"scoring/club-evening.tlw", "RoundData"}, pn{"scoring/club-evening.tlw", "PlayerNumbers"},
    m{"scoring/TLPlayerDB.mdb", "PlayerNameDatabase"};

std::unique_ptr<RecordSet> open_set(const std::string& file, const std::string& select) {
    static std::map<std::string, std::shared_ptr<Database>> opened;
    auto& db = opened[file];
    if (!db) db = Database::open(testsupport::fixture(file));
    return RecordSet::open(db, select);
}

std::size_t count(const FixtureTable& t, std::string_view where) {
    return open_set(t.file, "SELECT * FROM " + t.name + " WHERE " + std::string(where))->record_count();
}

// UPDATE and INSERT name their columns apart from any condition; these are checked before binding.
JetError validation_error(std::string_view sql) {
    const Statement s = parse_sql(sql);
    const TableDefPtr def = Database::open(testsupport::fixture(rd.file))->table_def(table_name(s));
    std::vector<std::string> names;
    for (const Column& c : def->columns) names.push_back(c.name);
    return error_of([&] { validate_columns(s, names); });
}

}  // namespace

TEST(SqlWhere, KeywordsTableAndColumnNamesIgnoreCaseAndATrailingSemicolonIsAccepted) {
    EXPECT_EQ(open_set(rd.file, "select * from roundDATA where SECTION = 1 and round > 2 oR nspair Is nULL;")->record_count(), 40u);
}

TEST(SqlWhere, EveryComparisonOperatorAndNegativeLiterals) {
    EXPECT_EQ(count(rd, "Round = 4"), 16u);
    EXPECT_EQ(count(rd, "Round <> 4"), 96u);
    EXPECT_EQ(count(rd, "Round < 4"), 48u);
    EXPECT_EQ(count(rd, "Round <= 4"), 64u);
    EXPECT_EQ(count(rd, "Round > 4"), 48u);
    EXPECT_EQ(count(rd, "Round >= 4"), 64u);
    EXPECT_EQ(count(rd, "4 < Round"), 48u);
    EXPECT_EQ(count(rd, "Round > -1"), 112u);
    EXPECT_EQ(count(rd, "-Round < -6"), 16u);
    EXPECT_EQ(count(rd, "Round > 6.5"), 16u);
    EXPECT_EQ(count(rd, "NOT Round > 1 OR (Section = 2 AND NOT (Table <> 3))"), 22u);
    EXPECT_EQ(count(rd, "Round = 1 OR Round = 2 AND Section = 1"), 24u);   // AND binds tighter
}

// TimeLog is Null in every seat's row. (Texts that mdbtools shows as Null may be zero-length.)
TEST(SqlWhere, NullComparisonsAreUnknownAndUnknownNeverMatches) {
    ASSERT_EQ(count(pn, "Table = 1"), 8u);
    EXPECT_EQ(count(pn, "TimeLog = 1"), 0u);
    EXPECT_EQ(count(pn, "TimeLog <> 1"), 0u);
    EXPECT_EQ(count(pn, "NOT TimeLog = 1"), 0u);
    EXPECT_EQ(count(pn, "TimeLog = Null"), 0u);
    EXPECT_EQ(count(pn, "Table = Null OR Table = 1"), 8u);
    EXPECT_EQ(count(pn, "TimeLog IS NULL"), 64u);
    EXPECT_EQ(count(pn, "TimeLog IS NOT NULL"), 0u);
    EXPECT_EQ(count(pn, "TimeLog = 1 OR Table = 1"), 8u);
    // unknown AND false is false, so NOT gives true; unknown AND true stays unknown.
    EXPECT_EQ(count(pn, "NOT (TimeLog = 1 AND Table = 1)"), 56u);
    // unknown OR true is true; unknown OR false stays unknown.
    EXPECT_EQ(count(pn, "NOT (TimeLog = 1 OR Table = 1)"), 0u);
}

// A chain of ANDs or ORs is one node; an unknown between operands that do not decide keeps it
// unknown.
TEST(SqlWhere, ChainsKeepAnUnknownBetweenUndecidingOperands) {
    EXPECT_EQ(count(rd, "Round = 1 OR Round = 2 OR Round = 3"), 48u);
    EXPECT_EQ(count(pn, "NOT (Table = 1 AND TimeLog = 1 AND Table = 1)"), 56u);
    EXPECT_EQ(count(pn, "NOT (Table <> 1 OR TimeLog = 1 OR Table <> 1)"), 0u);
}

TEST(SqlWhere, TextComparesWithoutCaseIncludingLatin1LettersButKeepsAccents) {
    EXPECT_EQ(count(m, "Name = 'Seán O''Brien'"), 2u);
    EXPECT_EQ(count(m, "Name = 'SEÁN O''BRIEN'"), 2u);
    EXPECT_EQ(count(m, "Name = \"hélène lefèvre\""), 1u);
    EXPECT_EQ(count(m, "Name = 'Sean O''Brien'"), 0u);
    EXPECT_EQ(count(m, "Club = 'ÅLESUND BK' AND Name = 'bjørn sørensen'"), 1u);
    EXPECT_EQ(count(m, "Name = 'TOMASZ DVOŘÁK'"), count(m, "Name = 'Tomasz Dvořák'"));
    EXPECT_GE(count(m, "Name = 'TOMASZ DVOŘÁK'"), 1u);
    EXPECT_EQ(count(m, "Name = 'Tomasz Dvorak'"), 0u);
    EXPECT_EQ(count(m, "Name >= 'zoë' AND Name < 'zoëz'"), count(m, "Name >= 'ZOË' AND Name < 'ZOËZ'"));
    EXPECT_LT(compare_text("Müller", "MÜLLERS"), 0);
    EXPECT_GT(compare_text("b", "A"), 0);
}

TEST(SqlWhere, BooleansCompareAsMinusOneAndZero) {
    ASSERT_EQ(count(pn, "Section > 0"), 64u);
    EXPECT_EQ(count(pn, "Processed = False"), 64u);
    EXPECT_EQ(count(pn, "Processed = 0"), 64u);
    EXPECT_EQ(count(pn, "Processed = True OR Processed = -1"), 0u);
    EXPECT_EQ(count(pn, "NOT Processed"), 64u);
    EXPECT_EQ(compare_values(Value::boolean(true), Value::long_(-1)), 0);
    EXPECT_EQ(compare_values(Value::date(DateTime{1.5}), Value::double_(1.5)), 0);
    EXPECT_LT(*compare_values(Value::date(from_civil({2026, 12, 6, 0, 0, 0, 0})), Value::date(from_civil({2026, 12, 6, 0, 0, 1, 0}))), 0);
}

TEST(SqlWhere, TextColumnAgainstNumberAndNumberColumnAgainstTextAreMismatches) {
    for (auto [t, where] : {std::pair{&rd, "Section = '1'"}, std::pair{&rd, "'2' < Round"}, std::pair{&pn, "Direction = 1"},
                            std::pair{&pn, "Section = 1 AND [Number] > 100"}}) {
        SCOPED_TRACE(where);
        const JetError e = error_of([&] { count(*t, where); });
        EXPECT_EQ(e.number(), 3464);
        EXPECT_EQ(e.description(), "Data type mismatch in criteria expression.");
    }
    // Between two literals the text is read as a number, as Jet's expression service does.
    EXPECT_EQ(count(rd, "'5' = 5 AND Round = 1"), 16u);
    EXPECT_EQ(error_of([&] { count(rd, "'five' = 5"); }).number(), 3464);
}

TEST(SqlValidate, UnknownNamesAreParametersCountedOnce) {
    JetError e = error_of([] { count(rd, "Table = 1 AND Section = A"); });
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(e.description(), "Too few parameters. Expected 1.");
    EXPECT_EQ(error_of([] { count(rd, "Rund = 1 OR Sektion = 2 OR RUND = 3"); }).description(),
              "Too few parameters. Expected 2.");

    e = validation_error("UPDATE Tables SET LogOnOff = 1 WHERE Sectoin = 1 And Tabel = 2 And SECTOIN = 3");
    EXPECT_EQ(e.description(), "Too few parameters. Expected 2.");

    e = validation_error("UPDATE Tables SET LogOnOf = 1, UpdateFromRound = Rnd WHERE Section = 1");
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(e.description(), "Too few parameters. Expected 2.");

    e = validation_error("INSERT INTO ReceivedData (Section, Bord) VALUES (1, 2)");
    EXPECT_EQ(e.number(), 3127);
    EXPECT_EQ(e.description(),
              "The INSERT INTO statement contains the following unknown field name: 'Bord'. Make sure you have typed the name "
              "correctly, and try the operation again.");

    EXPECT_EQ(count(rd, "[round] = 1 AND [NSPAIR] > 0"), 16u);
}
