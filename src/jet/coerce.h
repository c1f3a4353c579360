// The conversion Jet applies to a value that UPDATE ... SET or INSERT INTO stores into a
// column: text that reads as the column's type is converted ('2026-12-06 18:16:25' into a
// Date/Time column is that date and time), numbers and Booleans written into a Text column
// become their text (True as "-1", as Jet's True is the number -1). Whole-number columns
// round half to even. A value that does not convert or does not fit the column is 3464
// "Data type mismatch in criteria expression."; Null passes (the writer checks Required).
#pragma once

#include "jet/column_type.h"
#include "jet/value.h"

#include <string_view>

namespace jet {

// `column` names the column in the messages of our own (types this engine cannot convert into).
Value coerce_for_column(const Value& v, ColumnType type, std::string_view column);

}  // namespace jet
