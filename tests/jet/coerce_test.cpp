// What UPDATE ... SET and INSERT INTO store into columns of each type: text that reads as the
// type, numbers into text, overflows refused. (Whole-number columns round as to_integer and
// to_long do, in value_test; Null passes into a column as WriteUpdate sets Text and Date/Time
// columns to Null.)
#include "jet/rows/coerce.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

using namespace jet;
using testsupport::error_number;

namespace {

int coerce_error(const Value& v, ColumnType t) {
    return error_number([&] { coerce_for_column(v, t, "Test"); });
}

}  // namespace

TEST(Coerce, TextThatReadsAsTheColumnsTypeIsConverted) {
    EXPECT_EQ(coerce_for_column(Value::text("12345"), ColumnType::Long, "Number"), Value::long_(12345));
    EXPECT_EQ(coerce_for_column(Value::text(" -7 "), ColumnType::Integer, "x"), Value::integer(-7));
    EXPECT_EQ(coerce_for_column(Value::text("200"), ColumnType::Byte, "x"), Value::byte(200));
    EXPECT_EQ(coerce_for_column(Value::text("2.5"), ColumnType::Double, "x"), Value::double_(2.5));
    EXPECT_EQ(coerce_for_column(Value::text("1.5"), ColumnType::Single, "x"), Value::single(1.5f));
    EXPECT_EQ(coerce_for_column(Value::text("12.34567"), ColumnType::Currency, "x"), Value::currency(Currency{123457}));
    EXPECT_EQ(coerce_for_column(Value::text("12/06/2026 6:16 PM"), ColumnType::DateTime, "x"),
              Value::date(from_civil({2026, 12, 6, 18, 16, 0, 0})));
    EXPECT_EQ(coerce_for_column(Value::text("True"), ColumnType::Boolean, "x"), Value::boolean(true));
    EXPECT_EQ(coerce_for_column(Value::text("0"), ColumnType::Boolean, "x"), Value::boolean(false));
    EXPECT_EQ(coerce_for_column(Value::long_(5), ColumnType::Boolean, "x"), Value::boolean(true));
    EXPECT_EQ(coerce_for_column(Value::long_(46000), ColumnType::DateTime, "x"), Value::date(DateTime{46000}));
}

TEST(Coerce, NumbersAndBooleansIntoTextBecomeTheirText) {
    EXPECT_EQ(coerce_for_column(Value::long_(17), ColumnType::Text, "Number"), Value::text("17"));
    EXPECT_EQ(coerce_for_column(Value::double_(-2.25), ColumnType::Text, "x"), Value::text("-2.25"));
    EXPECT_EQ(coerce_for_column(Value::double_(0.1), ColumnType::Memo, "x"), Value::text("0.1"));
    EXPECT_EQ(coerce_for_column(Value::boolean(true), ColumnType::Text, "x"), Value::text("-1"));
    EXPECT_EQ(coerce_for_column(Value::boolean(false), ColumnType::Text, "x"), Value::text("0"));
    EXPECT_EQ(coerce_for_column(Value::date(from_civil({2026, 12, 6, 18, 16, 25, 0})), ColumnType::Text, "x"),
              Value::text("2026-12-06 18:16:25"));
}

TEST(Coerce, OverflowAndUnconvertibleValuesAreCriteriaMismatches) {
    EXPECT_EQ(coerce_error(Value::long_(70000), ColumnType::Integer), 3464);
    EXPECT_EQ(coerce_error(Value::long_(256), ColumnType::Byte), 3464);
    EXPECT_EQ(coerce_error(Value::long_(-1), ColumnType::Byte), 3464);
    EXPECT_EQ(coerce_error(Value::double_(2147483647.5), ColumnType::Long), 3464);
    EXPECT_EQ(coerce_error(Value::double_(1e300), ColumnType::Single), 3464);
    EXPECT_EQ(coerce_error(Value::double_(1e16), ColumnType::Currency), 3464);
    EXPECT_EQ(coerce_error(Value::text("abc"), ColumnType::Long), 3464);
    EXPECT_EQ(coerce_error(Value::text("yes"), ColumnType::Boolean), 3464);
    EXPECT_EQ(coerce_error(Value::text("2026-02-30"), ColumnType::DateTime), 3464);
    EXPECT_EQ(coerce_error(Value::double_(3e6), ColumnType::DateTime), 3464);
    EXPECT_EQ(coerce_error(Value::text("x"), ColumnType::Guid), 3464);
    EXPECT_EQ(coerce_error(Value::long_(1), ColumnType::Binary), 3464);
    EXPECT_EQ(coerce_error(Value::long_(1), ColumnType::Decimal), 3251);
}
