// Parsing the SQL that the simulator and the scoring program send, and refusing broken SQL
// with the error numbers and messages Jet gives. Conditions are run on the fixtures by
// sql_eval_test; the simulator's own statements by write_update_test, reader_agreement_test
// and the event runs.
#include "jet/base/error.h"
#include "jet/sql/sql_eval.h"
#include "jet/sql/sql_parser.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

using namespace jet;
using namespace jet::sql;
using testsupport::error_of;

namespace {

JetError parse_error(std::string_view sql) {
    return error_of([&] { parse_sql(sql); });
}

const Expr& where_of(const Statement& s) { return *std::get<SelectStmt>(s).where; }

}  // namespace

TEST(SqlParse, BracketedNamesMayHoldSpacesSlashesAndKeywords) {
    const Statement s = parse_sql("SELECT * FROM [Received Data] WHERE [NS/EW] = 'N' AND [Select] = 1 AND [Number] <> ''");
    EXPECT_EQ(table_name(s), "Received Data");
    EXPECT_EQ(referenced_columns(where_of(s)), (std::vector<std::string>{"NS/EW", "Select", "Number"}));
}

TEST(SqlParse, LiteralsOfEveryKindReadAsJetReadsThem) {
    const Statement s = parse_sql(
        "SELECT * FROM T WHERE b = #12/06/2026 18:16:25# AND e = \"say \"\"hi\"\"\" AND h = - 7.25 AND i = 3000000000");
    const auto parts = conjuncts(where_of(s));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0]->args[1].value, Value::date(from_civil({2026, 12, 6, 18, 16, 25, 0})));
    EXPECT_EQ(parts[1]->args[1].value, Value::text("say \"hi\""));
    EXPECT_EQ(parts[2]->args[1].value, Value::double_(-7.25));
    EXPECT_EQ(parts[3]->args[1].value, Value::double_(3000000000.0));
}

// Each broken statement with the number Jet gives it and, where users see it, the message.
TEST(SqlSyntaxError, EachIsRefusedWithJetsNumberAndMessage) {
    const std::string update = "Syntax error in UPDATE statement.", insert = "Syntax error in INSERT INTO statement.",
                      from = "Syntax error in FROM clause.",
                      unknown = "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.";
    struct Case {
        const char* sql;
        int number;
        std::string description;   // "" when only the number is checked
    };
    const Case cases[] = {
        {"SELECT * FROM RoundData WHERE Section = 1 Table = 2;", 3075,
         "Syntax error (missing operator) in query expression 'Section = 1 Table = 2'."},
        {"SELECT * FROM RoundData WHERE Table = 1 AND Section = ", 3075,
         "Syntax error (missing operator) in query expression 'Table = 1 AND Section ='."},
        {"SELECT * FROM RoundData WHERE (Section = 1", 3075, ""},
        {"SELECT * FROM RoundData WHERE Section = = 1", 3075, ""},
        {"SELECT * FROM RoundData WHERE Section IS 1", 3075, ""},
        {"SELECT * FROM RoundData WHERE Section = 1 AND", 3075, ""},
        {"SELECT * FROM RoundData WHERE Section = 1 ! 2", 3075, ""},
        {"SELECT * FROM PlayerNumbers WHERE Direction = 'N", 3075, "Syntax error in string in query expression 'Direction = 'N'."},
        {"SELECT * FROM PlayerNumbers WHERE TimeLog = #2026-13-45#", 3075,
         "Syntax error in date in query expression 'TimeLog = #2026-13-45#'."},
        // An unescaped apostrophe in a name breaks the SET expression.
        {"UPDATE PlayerNumbers SET Name = 'O'Brien' WHERE Section = 1", 3075,
         "Syntax error in string in query expression ''O'Brien' WHERE Section = 1'."},
        {"UPDATE PlayerNumbers SET Name = 'O'Brien'', [Number] = '17' WHERE Section = 1", 3075,
         "Syntax error (missing operator) in query expression ''O'Brien'''."},
        {"UPDATE Tables LogOnOff = 1", 3144, update},
        {"UPDATE Tables SET = 1", 3144, update},
        {"UPDATE Tables SET LogOnOff 1", 3144, update},
        {"UPDATE Tables SET LogOnOff = WHERE Section = 1", 3144, update},
        {"UPDATE SET LogOnOff = 1", 3144, update},
        {"INSERT ReceivedData (Section) VALUES (1)", 3134, insert},
        {"INSERT INTO (Section) VALUES (1)", 3134, insert},
        {"INSERT INTO ReceivedData Section VALUES (1)", 3134, insert},
        {"INSERT INTO ReceivedData (Section) (1)", 3134, insert},
        {"INSERT INTO ReceivedData (Section) VALUES (1", 3134, insert},
        {"INSERT INTO ReceivedData (Section) VALUES ()", 3134, insert},
        {"INSERT INTO ReceivedData () VALUES (1)", 3134, insert},
        {"INSERT INTO ReceivedData (Section, [Table]) VALUES (1)", 3346,
         "Number of query values and destination fields are not the same."},
        {"SELECT * FROM", 3131, from},
        {"SELECT * FROM RoundData WHER Section = 1", 3131, from},
        {"", 3129, unknown},
        {"DROP TABLE RoundData", 3129, unknown},
        {"@", 3129, unknown},
        {"SELECT * FROM RoundData; SELECT * FROM Tables", 3142, ""},
        {"SELECT * RoundData", 3141, ""},
        {"SELECT", 3141, ""},
        // Statements this engine does not run are refused by name.
        {"SELECT Section FROM RoundData", 3251, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const JetError e = parse_error(c.sql);
        EXPECT_EQ(e.number(), c.number);
        if (!c.description.empty()) {
            EXPECT_EQ(e.description(), c.description);
        }
    }
    const JetError e = parse_error("DELETE * FROM RoundData");
    EXPECT_EQ(e.number(), 3251);
    EXPECT_NE(e.description().find("DELETE"), std::string::npos);
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
