// The 16-bit Integer and the numbered lists: the old runtime's overflow and subscript rules,
// which decide when a run stops with error 6 or 9. The messages a run ends with, and the 26
// section slots, are run through in errors_test; the pace, the one fraction made an Integer,
// in run_controls_test.
#include "run/integer.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

namespace {

using sim::Integer;
using testsupport::error_number;

TEST(IntegerRange, ArithmeticPastTheRangeIsOverflow) {
    EXPECT_EQ(error_number([] { Integer(32767) + Integer(1); }), 6);
    EXPECT_EQ(error_number([] { Integer(-32768) - Integer(1); }), 6);
    EXPECT_EQ(error_number([] { Integer(200) * Integer(200); }), 6);
    EXPECT_EQ(error_number([] { -Integer(-32768); }), 6);
    EXPECT_EQ(error_number([] { Integer i = 32767; i += 1; }), 6);
    EXPECT_EQ((Integer(32766) + Integer(1)).value(), 32767);
    EXPECT_EQ((Integer(-32767) - Integer(1)).value(), -32768);
}

TEST(NumberedList, PositionsOutsideTheListAreSubscriptOutOfRange) {
    sim::List<int> list;
    EXPECT_EQ(list.upper(), Integer(0));
    EXPECT_EQ(error_number([&] { list[1]; }), 9);
    list.redim_preserve(3);
    list[3] = 33;
    list[1] = 11;
    EXPECT_EQ(error_number([&] { list[4]; }), 9);
    EXPECT_EQ(error_number([&] { list[-1]; }), 9);
    list.redim_preserve(5);
    EXPECT_EQ(list[3], 33) << "growing keeps the entries";
    EXPECT_EQ(list[1], 11);
}

}  // namespace
