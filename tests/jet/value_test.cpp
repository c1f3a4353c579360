// The conversions callers apply to field values (to Integer, Long, Boolean, Double, text)
// with the old engine's rounding and error numbers, and dates on both sides of 1899-12-30.
#include "jet/schema/names.h"
#include "jet/value/value.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace jet;
using testsupport::error_number;

namespace {

CivilTime civil(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) { return CivilTime{y, mo, d, h, mi, s, 0}; }

void expect_civil(DateTime dt, const CivilTime& want) {
    const CivilTime c = to_civil(dt);
    EXPECT_EQ(std::tie(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond),
              std::tie(want.year, want.month, want.day, want.hour, want.minute, want.second, want.millisecond))
        << "days " << dt.days;
}

}  // namespace

TEST(ValueConversion, FractionsRoundHalfToEven) {
    EXPECT_EQ(to_integer(Value::double_(2.5)), 2);
    EXPECT_EQ(to_integer(Value::double_(3.5)), 4);
    EXPECT_EQ(to_integer(Value::double_(-2.5)), -2);
    EXPECT_EQ(to_integer(Value::double_(2.5000001)), 3);
    EXPECT_EQ(to_long(Value::single(0.5f)), 0);
    EXPECT_EQ(to_long(Value::double_(1.5)), 2);
    EXPECT_EQ(to_long(Value::currency(Currency{25000})), 2);
    EXPECT_EQ(to_integer(Value::text(" 3.5 ")), 4);
}

TEST(ValueConversion, IntegerAndLongBoundsOverflowAsError6) {
    EXPECT_EQ(to_integer(Value::long_(32767)), 32767);
    EXPECT_EQ(to_integer(Value::long_(-32768)), -32768);
    EXPECT_EQ(to_integer(Value::double_(-32768.5)), -32768);   // rounds to the even -32768
    EXPECT_EQ(error_number([] { to_integer(Value::double_(32767.5)); }), 6);
    EXPECT_EQ(error_number([] { to_integer(Value::long_(32768)); }), 6);
    EXPECT_EQ(error_number([] { to_integer(Value::long_(-32769)); }), 6);
    EXPECT_EQ(to_long(Value::double_(2147483647.0)), 2147483647);
    EXPECT_EQ(to_long(Value::double_(-2147483648.0)), -2147483647 - 1);
    EXPECT_EQ(error_number([] { to_long(Value::double_(2147483647.5)); }), 6);
    EXPECT_EQ(error_number([] { to_long(Value::double_(1e300)); }), 6);
}

TEST(ValueConversion, NullIsError94AndNonNumericTextIsError13) {
    EXPECT_EQ(error_number([] { to_integer(Value::null()); }), 94);
    EXPECT_EQ(error_number([] { to_text(Value::null()); }), 94);
    EXPECT_EQ(error_number([] { to_integer(Value::text("abc")); }), 13);
    EXPECT_EQ(error_number([] { to_long(Value::text("")); }), 13);
    EXPECT_EQ(error_number([] { to_bool(Value::text("yes")); }), 13);
    EXPECT_EQ(error_number([] { to_double(Value::binary({1, 2})); }), 13);
}

TEST(ValueConversion, TextMustBeWrittenAsADecimalNumber) {
    double d = 0;
    EXPECT_TRUE(parse_number_text(" -3.5 ", d));
    EXPECT_EQ(d, -3.5);
    EXPECT_TRUE(parse_number_text("+12", d));
    EXPECT_TRUE(parse_number_text("1e3", d));
    EXPECT_EQ(d, 1000);
    EXPECT_TRUE(parse_number_text(".5", d));
    for (const char* s : {"nan", "inf", "-infinity", "+-1", "--1", "1,5", "12abc", "-", "+"}) {
        EXPECT_FALSE(parse_number_text(s, d)) << s;
    }
    EXPECT_EQ(error_number([] { to_integer(Value::text("nan")); }), 13);
    EXPECT_EQ(error_number([] { to_double(Value::text("inf")); }), 13);
}

TEST(ValueConversion, BooleansAreMinusOneAndZero) {
    EXPECT_EQ(to_integer(Value::boolean(true)), -1);
    EXPECT_EQ(to_double(Value::boolean(false)), 0.0);
    EXPECT_TRUE(to_bool(Value::text(" TRUE ")));
    EXPECT_FALSE(to_bool(Value::text("false")));
    EXPECT_TRUE(to_bool(Value::text("-1")));
    EXPECT_FALSE(to_bool(Value::text("0")));
    EXPECT_TRUE(to_bool(Value::double_(0.1)));
    EXPECT_EQ(to_text(Value::boolean(true)), "True");
}

TEST(ValueConversion, NumbersAsPlainDecimalText) {
    EXPECT_EQ(to_text(Value::double_(123456789012.5)), "123456789012.5");
    EXPECT_EQ(to_text(Value::single(0.1f)), "0.1");
    EXPECT_EQ(to_text(Value::currency(Currency{125000})), "12.5");
    EXPECT_EQ(to_text(Value::currency(Currency{-5})), "-0.0005");
    EXPECT_EQ(to_text(Value::double_(-0.0)), "0");
}

TEST(ValueDates, BeforeTheEpochTheFractionStillCountsForwardFromMidnight) {
    expect_civil(DateTime{-1.25}, civil(1899, 12, 29, 6));
    EXPECT_EQ(from_civil(civil(1899, 12, 29, 6)).days, -1.25);
    expect_civil(DateTime{-0.5}, civil(1899, 12, 30, 12));
    expect_civil(DateTime{0}, civil(1899, 12, 30));
    expect_civil(DateTime{1.75}, civil(1899, 12, 31, 18));
    expect_civil(DateTime{-657434}, civil(100, 1, 1));
    EXPECT_EQ(from_civil(civil(9999, 12, 31, 23, 59, 59)).days, 2958465 + (86399.0 / 86400.0));
    EXPECT_EQ(iso_text(DateTime{-1.25}), "1899-12-29T06:00:00");
}

TEST(ValueDates, RoundingUpToMidnightMovesToTheNextDayOnBothSidesOfTheEpoch) {
    expect_civil(DateTime{2.9999999999}, civil(1900, 1, 2));
    expect_civil(DateTime{-1.9999999999}, civil(1899, 12, 30));
    expect_civil(DateTime{-0.9999999999}, civil(1899, 12, 31));
}

TEST(ValueDates, DateTextInBothFormsAndAsText) {
    DateTime d;
    ASSERT_TRUE(parse_date_text("2026-12-06 18:16:25", d));
    EXPECT_EQ(to_text(Value::date(d)), "2026-12-06 18:16:25");
    ASSERT_TRUE(parse_date_text("12/06/2026 06:16:25 PM", d));
    EXPECT_EQ(iso_text(d), "2026-12-06T18:16:25");
    ASSERT_TRUE(parse_date_text("12:00:00 AM", d));
    EXPECT_EQ(d.days, 0.0);
    ASSERT_TRUE(parse_date_text("2026-12-06", d));
    EXPECT_EQ(to_text(Value::date(d)), "2026-12-06");
    EXPECT_EQ(to_text(Value::date(DateTime{0.75})), "18:00:00");
    EXPECT_FALSE(parse_date_text("2026-02-30", d));
    EXPECT_FALSE(parse_date_text("13/01/2026", d));
    EXPECT_FALSE(parse_date_text("25:00", d));
    EXPECT_FALSE(parse_date_text("2026-12-06 18:16:25 XX", d));
    EXPECT_EQ(to_integer(Value::text("1900-01-01")), 2);   // a date text reads as its day number
}

// Names match without regard to ASCII case only (sql_eval_test looks names up in any case):
// other bytes that differ in 0x20 alone, and letters beyond ASCII, are different names.
TEST(Names, EqualIgnoringAsciiCaseOnly) {
    EXPECT_FALSE(jet::names_equal("Round", "Rounds"));
    EXPECT_FALSE(jet::names_equal("Round", "Bound"));
    EXPECT_FALSE(jet::names_equal("a@", "a`"));     // 0x40 / 0x60
    EXPECT_FALSE(jet::names_equal("a[", "a{"));     // 0x5B / 0x7B
    EXPECT_FALSE(jet::names_equal("\xC3\xA9", "\xC3\x89"));   // é / É: not folded
}
