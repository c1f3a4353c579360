// WHERE conditions evaluated over the rows of the shared scoring and member databases, as
// an independent reader (mdbtools) delivers them: the rows selected, Null logic, text and
// mixed-type comparison, unknown names. What the planner makes of the conditions is checked
// by comparing indexed and scanned answers (recordset_test).
#include "jet/base/error.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "sql_fixture_rows.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

using namespace jet;
using namespace jet::sql;
using testsupport::error_of;
using sqltest::members;
using sqltest::scoring_table;
using sqltest::select_rows;

namespace {

JetError validation_error(std::string_view sql) {
    const Statement s = parse_sql(sql);
    return error_of([&] { validate_columns(s, scoring_table(table_name(s)).names); });
}

std::size_t count(const sqltest::FixtureTable& t, std::string_view where) { return select_rows(t, where).size(); }

Value field(const sqltest::FixtureTable& t, std::size_t row, std::string_view column) {
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        if (same_name(t.columns[c].name, column)) return t.rows[row][c];
    return Value::null();
}

}  // namespace

TEST(SqlWhere, RoundAdvanceQuerySelectsTheLaterRoundsOfOneTable) {
    const auto& rd = scoring_table("RoundData");
    ASSERT_EQ(rd.rows.size(), 112u);
    const auto rows = select_rows(rd, "Section = 1 And Table = 2 And Round > 3 AND NSPair > 0 AND EWPair > 0");
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(field(rd, rows[i], "section"), Value::long_(1));
        EXPECT_EQ(field(rd, rows[i], "TABLE"), Value::long_(2));
        EXPECT_EQ(field(rd, rows[i], "round"), Value::long_(static_cast<std::int32_t>(4 + i)));
    }
    EXPECT_EQ(count(rd, "Round = 3 AND NSPair > 0 AND EWPair > 0"), 16u);
    EXPECT_EQ(count(rd, "Table = 1 AND Section = 2"), 7u);
    EXPECT_EQ(count(rd, "Section = 1 And Table = 2 And Round > 7"), 0u);
}

TEST(SqlWhere, EveryComparisonOperatorAndNegativeLiterals) {
    const auto& rd = scoring_table("RoundData");
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

TEST(SqlWhere, NullComparisonsAreUnknownAndUnknownNeverMatches) {
    const auto& rd = scoring_table("RoundData");   // Extra is Null in every row
    EXPECT_EQ(count(rd, "Extra = 'x'"), 0u);
    EXPECT_EQ(count(rd, "Extra <> 'x'"), 0u);
    EXPECT_EQ(count(rd, "NOT Extra = 'x'"), 0u);
    EXPECT_EQ(count(rd, "Extra = Null"), 0u);
    EXPECT_EQ(count(rd, "Round = Null OR Round = 1"), 16u);
    EXPECT_EQ(count(rd, "Extra IS NULL"), 112u);
    EXPECT_EQ(count(rd, "Extra IS NOT NULL"), 0u);
    EXPECT_EQ(count(rd, "Extra = 'x' OR Round = 1"), 16u);
    // unknown AND false is false, so NOT gives true; unknown AND true stays unknown.
    EXPECT_EQ(count(rd, "NOT (Extra = 'x' AND Round = 1)"), 96u);
    // unknown OR true is true; unknown OR false stays unknown.
    EXPECT_EQ(count(rd, "NOT (Extra = 'x' OR Round = 1)"), 0u);
}

// A chain of ANDs or ORs is one node; grouped any way, with unknowns anywhere in it, it must
// select what the grouped forms select.
TEST(SqlWhere, ChainsGiveWhatTheirGroupingsGive) {
    const auto& rd = scoring_table("RoundData");
    for (const char* op : {"AND", "OR"})
        for (const char* a : {"Round = 1", "Extra = 'x'", "Section = 1"})
            for (const char* b : {"Round = 1", "Extra = 'x'", "Table <> 2"})
                for (const char* c : {"Extra = 'x'", "Section = 1"}) {
                    const auto form = [&](const std::string& left, const std::string& right) {
                        return left + " " + op + " " + right;
                    };
                    const std::string flat = form(form(a, b), c);
                    const std::string left = form("(" + form(a, b) + ")", c);
                    const std::string right = form(a, "(" + form(b, c) + ")");
                    SCOPED_TRACE(flat);
                    EXPECT_EQ(count(rd, flat), count(rd, left));
                    EXPECT_EQ(count(rd, flat), count(rd, right));
                    EXPECT_EQ(count(rd, "NOT (" + flat + ")"), count(rd, "NOT (" + left + ")"));
                    EXPECT_EQ(count(rd, "NOT (" + flat + ")"), count(rd, "NOT (" + right + ")"));
                }
    EXPECT_EQ(count(rd, "Round = 1 OR Round = 2 OR Round = 3"), 48u);
    // An unknown between operands that do not decide keeps the chain unknown.
    EXPECT_EQ(count(rd, "NOT (Round = 1 AND Extra = 'x' AND Round = 1)"), 96u);
    EXPECT_EQ(count(rd, "NOT (Round <> 1 OR Extra = 'x' OR Round <> 1)"), 0u);
}

TEST(SqlWhere, TextComparesWithoutCaseIncludingLatin1LettersButKeepsAccents) {
    const auto& m = members();
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
    const auto& pn = scoring_table("PlayerNumbers");
    ASSERT_EQ(pn.rows.size(), 64u);
    EXPECT_EQ(count(pn, "Processed = False"), 64u);
    EXPECT_EQ(count(pn, "Processed = 0"), 64u);
    EXPECT_EQ(count(pn, "Processed = True OR Processed = -1"), 0u);
    EXPECT_EQ(count(pn, "NOT Processed"), 64u);
    EXPECT_EQ(compare_values(Value::boolean(true), Value::long_(-1)), 0);
    EXPECT_EQ(compare_values(Value::date(DateTime{1.5}), Value::double_(1.5)), 0);
    EXPECT_LT(*compare_values(Value::date(from_civil({2026, 12, 6, 0, 0, 0, 0})), Value::date(from_civil({2026, 12, 6, 0, 0, 1, 0}))), 0);
}

TEST(SqlWhere, TextColumnAgainstNumberAndNumberColumnAgainstTextAreMismatches) {
    const auto& rd = scoring_table("RoundData");
    const auto& pn = scoring_table("PlayerNumbers");
    for (auto [t, where] : {std::pair{&rd, "Section = '1'"}, std::pair{&rd, "'2' < Round"}, std::pair{&pn, "Direction = 1"},
                            std::pair{&pn, "Section = 1 AND [Number] > 100"}}) {
        SCOPED_TRACE(where);
        const JetError e = error_of([&] { select_rows(*t, where); });
        EXPECT_EQ(e.number(), 3464);
        EXPECT_EQ(e.description(), "Data type mismatch in criteria expression.");
    }
    // Between two literals the text is read as a number, as Jet's expression service does.
    EXPECT_EQ(count(rd, "'5' = 5 AND Round = 1"), 16u);
    EXPECT_EQ(error_of([&] { select_rows(rd, "'five' = 5"); }).number(), 3464);
}

TEST(SqlValidate, UnknownNamesAreParametersCountedOnce) {
    JetError e = validation_error("SELECT * FROM RoundData WHERE Table = 1 AND Section = A");
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(e.description(), "Too few parameters. Expected 1.");

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

    EXPECT_EQ(validation_error("SELECT * FROM RoundData WHERE [round] = 1 AND [NSPAIR] > 0").number(), 0);
}

TEST(SqlValidate, BindRefusesAnUnvalidatedUnknownName) {
    Statement s = parse_sql("SELECT * FROM RoundData WHERE Rund = 1 OR Sektion = 2");
    const JetError e = error_of([&] { bind(*std::get<SelectStmt>(s).where, scoring_table("RoundData").columns); });
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(e.description(), "Too few parameters. Expected 2.");
}
