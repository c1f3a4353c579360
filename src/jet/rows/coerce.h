// The conversion Jet applies to a value UPDATE ... SET or INSERT INTO stores into a column:
// text is read as the column's type, numbers and Booleans become text (True as "-1": Jet's
// True is the number -1); unconvertible or too large is 3464; Null passes (Required is the writer's).
#pragma once

#include "jet/value/column_type.h"
#include "jet/value/value.h"

#include <string_view>

namespace jet {

// `column` names the column in the messages of our own (types this engine cannot convert into).
Value coerce_for_column(const Value& v, ColumnType type, std::string_view column);

}  // namespace jet
