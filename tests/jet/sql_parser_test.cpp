// Parsing the SQL that the simulator and the scoring program send, and refusing broken SQL
// with the error numbers and messages Jet gives. The simulator's own statements are run on
// the scoring database by write_update_test, write_append_test and the event runs.
#include "jet/base/error.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "sql_fixture_rows.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

using namespace jet;
using namespace jet::sql;
using testsupport::error_of;

namespace {

JetError parse_error(std::string_view sql) {
    return error_of([&] { parse_sql(sql); });
}

const Expr& where_of(const Statement& s) {
    if (const auto* sel = std::get_if<SelectStmt>(&s)) return *sel->where;
    return *std::get<UpdateStmt>(s).where;
}

}  // namespace

TEST(SqlParse, InjectionLookingTextInsideAQuotedLiteralStaysOneLiteral) {
    const Statement s = parse_sql("UPDATE PlayerNumbers SET Name = 'x'', Processed = True WHERE 1=1 OR ''a''=''a' WHERE Section = 1");
    const auto& u = std::get<UpdateStmt>(s);
    ASSERT_EQ(u.assignments.size(), 1u);
    EXPECT_EQ(u.assignments[0].value.value, Value::text("x', Processed = True WHERE 1=1 OR 'a'='a"));
    ASSERT_EQ(conjuncts(*u.where).size(), 1u);
    EXPECT_EQ(referenced_columns(*u.where), std::vector<std::string>{"Section"});
}

TEST(SqlParse, KeywordsAndNamesIgnoreCaseAndATrailingSemicolonIsAccepted) {
    const Statement s = parse_sql("select * from roundDATA where SECTION = 1 and round > 2 oR nspair Is Not nULL;");
    EXPECT_EQ(table_name(s), "roundDATA");
    EXPECT_EQ(where_of(s).kind, ExprKind::Or);
    EXPECT_NO_THROW(validate_columns(s, sqltest::scoring_table("RoundData").names));
}

TEST(SqlParse, BracketedNamesMayHoldSpacesSlashesAndKeywords) {
    const Statement s = parse_sql("SELECT * FROM [Received Data] WHERE [NS/EW] = 'N' AND [Select] = 1 AND [Number] <> ''");
    EXPECT_EQ(table_name(s), "Received Data");
    EXPECT_EQ(referenced_columns(where_of(s)), (std::vector<std::string>{"NS/EW", "Select", "Number"}));
}

TEST(SqlParse, LiteralsOfEveryKindReadAsJetReadsThem) {
    const Statement s = parse_sql(
        "SELECT * FROM T WHERE a = #2026-12-06# AND b = #12/06/2026 18:16:25# AND c = -3 AND d = 2.5 AND e = \"say \"\"hi\"\"\" "
        "AND f = True AND g = Null AND h = - 7.25 AND i = 3000000000");
    const auto parts = conjuncts(where_of(s));
    ASSERT_EQ(parts.size(), 9u);
    EXPECT_EQ(parts[0]->args[1].value, Value::date(from_civil({2026, 12, 6, 0, 0, 0, 0})));
    EXPECT_EQ(parts[1]->args[1].value, Value::date(from_civil({2026, 12, 6, 18, 16, 25, 0})));
    EXPECT_EQ(parts[2]->args[1].value, Value::long_(-3));
    EXPECT_EQ(parts[3]->args[1].value, Value::double_(2.5));
    EXPECT_EQ(parts[4]->args[1].value, Value::text("say \"hi\""));
    EXPECT_EQ(parts[5]->args[1].value, Value::boolean(true));
    EXPECT_TRUE(parts[6]->args[1].value.is_null());
    EXPECT_EQ(parts[7]->args[1].value, Value::double_(-7.25));
    EXPECT_EQ(parts[8]->args[1].value, Value::double_(3000000000.0));
}

TEST(SqlSyntaxError, BrokenConditionIs3075NamingTheWholeExpression) {
    JetError e = parse_error("SELECT * FROM RoundData WHERE Section = 1 Table = 2;");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(e.description(), "Syntax error (missing operator) in query expression 'Section = 1 Table = 2'.");

    e = parse_error("SELECT * FROM RoundData WHERE Table = 1 AND Section = ");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(e.description(), "Syntax error (missing operator) in query expression 'Table = 1 AND Section ='.");

    e = parse_error("SELECT * FROM RoundData WHERE (Section = 1");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(parse_error("SELECT * FROM RoundData WHERE Section = = 1").number(), 3075);
    EXPECT_EQ(parse_error("SELECT * FROM RoundData WHERE Section IS 1").number(), 3075);
    EXPECT_EQ(parse_error("SELECT * FROM RoundData WHERE Section = 1 AND").number(), 3075);
    EXPECT_EQ(parse_error("SELECT * FROM RoundData WHERE Section = 1 ! 2").number(), 3075);
}

// A value spliced into a statement can nest without end; parsing must refuse, not overflow
// the stack.
TEST(SqlSyntaxError, NestingBeyondAHundredLevelsIsTooComplex) {
    const auto nested = [](const std::string& open, const std::string& close, int levels) {
        std::string where;
        for (int i = 0; i < levels; ++i) where += open;
        where += "Section = 1";
        for (int i = 0; i < levels; ++i) where += close;
        return "SELECT * FROM RoundData WHERE " + where;
    };
    EXPECT_EQ(parse_error(nested("(", ")", 100)).number(), 0);
    EXPECT_EQ(parse_error(nested("(", ")", 30000)).number(), 3360);
    EXPECT_EQ(parse_error(nested("NOT ", "", 30000)).number(), 3360);
    EXPECT_EQ(parse_error("SELECT * FROM RoundData WHERE Section = " + std::string(30000, '-') + "1").number(), 3360);
}

TEST(SqlSyntaxError, UnclosedTextOrBadDateSaysSo) {
    JetError e = parse_error("SELECT * FROM PlayerNumbers WHERE Direction = 'N");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(e.description(), "Syntax error in string in query expression 'Direction = 'N'.");
    e = parse_error("SELECT * FROM PlayerNumbers WHERE TimeLog = #2026-13-45#");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(e.description(), "Syntax error in date in query expression 'TimeLog = #2026-13-45#'.");
}

TEST(SqlSyntaxError, UpdateStructureErrorsAre3144) {
    for (const char* sql : {"UPDATE", "UPDATE Tables", "UPDATE Tables LogOnOff = 1", "UPDATE Tables SET", "UPDATE Tables SET = 1",
                            "UPDATE Tables SET LogOnOff 1", "UPDATE Tables SET LogOnOff =", "UPDATE Tables SET LogOnOff = 1,",
                            "UPDATE Tables SET LogOnOff = WHERE Section = 1", "UPDATE SET LogOnOff = 1"}) {
        SCOPED_TRACE(sql);
        const JetError e = parse_error(sql);
        EXPECT_EQ(e.number(), 3144);
        EXPECT_EQ(e.description(), "Syntax error in UPDATE statement.");
    }
}

TEST(SqlSyntaxError, UnescapedApostropheInANameBreaksTheSetExpression) {
    const JetError e = parse_error("UPDATE PlayerNumbers SET Name = 'O'Brien' WHERE Section = 1");
    EXPECT_EQ(e.number(), 3075);
    EXPECT_EQ(e.description(), "Syntax error in string in query expression ''O'Brien' WHERE Section = 1'.");

    const JetError f = parse_error("UPDATE PlayerNumbers SET Name = 'O'Brien'', [Number] = '17' WHERE Section = 1");
    EXPECT_EQ(f.number(), 3075);
    EXPECT_EQ(f.description(), "Syntax error (missing operator) in query expression ''O'Brien'''.");
}

TEST(SqlSyntaxError, InsertStructureErrorsAre3134AndValueCountIs3346) {
    for (const char* sql : {"INSERT ReceivedData (Section) VALUES (1)", "INSERT INTO (Section) VALUES (1)",
                            "INSERT INTO ReceivedData Section VALUES (1)", "INSERT INTO ReceivedData (Section) (1)",
                            "INSERT INTO ReceivedData (Section) VALUES (1", "INSERT INTO ReceivedData (Section) VALUES ()",
                            "INSERT INTO ReceivedData () VALUES (1)"}) {
        SCOPED_TRACE(sql);
        const JetError e = parse_error(sql);
        EXPECT_EQ(e.number(), 3134);
        EXPECT_EQ(e.description(), "Syntax error in INSERT INTO statement.");
    }
    const JetError e = parse_error("INSERT INTO ReceivedData (Section, [Table]) VALUES (1)");
    EXPECT_EQ(e.number(), 3346);
    EXPECT_EQ(e.description(), "Number of query values and destination fields are not the same.");
}

TEST(SqlSyntaxError, FromClauseErrorsAre3131) {
    for (const char* sql : {"SELECT * FROM", "SELECT * FROM WHERE Section = 1", "SELECT * FROM RoundData WHER Section = 1",
                            "SELECT * FROM RoundData, Tables"}) {
        SCOPED_TRACE(sql);
        const JetError e = parse_error(sql);
        EXPECT_EQ(e.number(), 3131);
        EXPECT_EQ(e.description(), "Syntax error in FROM clause.");
    }
}

TEST(SqlSyntaxError, UnknownStatementsAre3129) {
    for (const char* sql : {"", "   ", ";", "DROP TABLE RoundData", "RoundData", "'SELECT * FROM RoundData'", "@"}) {
        SCOPED_TRACE(sql);
        const JetError e = parse_error(sql);
        EXPECT_EQ(e.number(), 3129);
        EXPECT_EQ(e.description(), "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
}

TEST(SqlSyntaxError, TextAfterTheStatementIs3142AndAMissingFromIs3141) {
    EXPECT_EQ(parse_error("SELECT * FROM RoundData; SELECT * FROM Tables").number(), 3142);
    EXPECT_EQ(parse_error("UPDATE Tables SET LogOnOff = 1;;").number(), 3142);
    EXPECT_EQ(parse_error("SELECT * RoundData").number(), 3141);
    EXPECT_EQ(parse_error("SELECT").number(), 3141);
}

TEST(SqlSyntaxError, StatementsThisEngineDoesNotRunAreRefusedByName) {
    const JetError e = parse_error("DELETE * FROM RoundData");
    EXPECT_EQ(e.number(), 3251);
    EXPECT_NE(e.description().find("DELETE"), std::string::npos);
    EXPECT_EQ(parse_error("SELECT Section FROM RoundData").number(), 3251);
}
