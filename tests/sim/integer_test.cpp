// The numbered lists: the old runtime's subscript rule, which decides when a run stops with
// error 9. The 16-bit Integer's overflow (error 6) is run through in errors_test, where a
// board number too large for it and a board counter stepping past 32767 end the run; the
// 26 section slots too. The pace, the one fraction made an Integer, is run_controls_test's.
#include "run/integer.h"
#include "support/jet_errors.h"

#include <gtest/gtest.h>

namespace {

using sim::Integer;
using testsupport::error_number;

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
